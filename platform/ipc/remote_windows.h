// The cross-process part of the window system. The first instance on a device
// root serves its windows on a private socket; in another process (a second
// instance, swipetype-send, a test) FindWindowW finds them there and hands back a
// remote handle, on which ShowWindow, SetForegroundWindow, SendMessageW and
// PostMessageW act in the serving process.
//
// Only messages whose parameters are plain numbers cross, plus WM_SETTEXT and
// WM_GETTEXT whose texts are carried along; a message that would hand a pointer
// from one process to another is refused.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ipc/remote_protocol.h"

#include "platform/core/types.h"

namespace platform {

enum class WindowInterfaceRole {
    Serving,               // this process runs on the device root and serves its windows
    AnotherInstanceServes, // the program of the root answers: this start hands over
    AnotherInstanceHolds,  // a program holds the root but does not answer (yet)
    AnotherUserHolds,      // a program of another user runs on the root
    Failed,                // this process runs, but other programs cannot reach it
};

// Claims the device root in use and serves this process's windows there,
// unless a program already runs on it (platform/ipc/root_instance.h). Unless
// Serving or handing over, `error` says why in one sentence.
WindowInterfaceRole StartWindowInterface(std::string& error);
void StopWindowInterface();

// When a program runs on the device root in use that this process cannot talk
// to (another user's, or one that does not answer), one sentence saying so;
// empty when none runs there or it can be reached.
std::string InstanceOutOfReach();

// Looks for a top-level window of the instance serving this device root. Null
// when none serves it, or it has no such window.
HWND FindRemoteWindow(LPCWSTR className, LPCWSTR windowName);

// The control with `controlId` among the descendants of a remote window.
HWND FindRemoteControl(HWND window, int controlId);

bool IsRemoteWindow(HWND window);

// The window calls on a remote handle. SendRemoteMessage carries WM_SETTEXT and
// WM_GETTEXT texts; `delivered` tells whether the other side took the message.
LRESULT SendRemoteMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          bool* delivered = nullptr);
BOOL PostRemoteMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL ShowRemoteWindow(HWND window, int command);
BOOL SetRemoteForegroundWindow(HWND window);

// Chooses an item of the popup menu the serving instance has open (0 dismisses
// it). False when no instance serves, or it has no menu open with that item.
bool ChooseRemoteMenuItem(UINT command);

// Requests from other processes (swipetype-config) to read or change one of
// the program's settings, or reset them all, are answered by the program's own
// code, which registers here; without a handler they are refused. `ok` false
// means the request was refused, with one line in `text` saying why; else
// `text` is the setting's value afterwards.
struct SettingAnswer {
    bool ok = false;
    std::u16string text;
};
using SettingHandler = std::function<SettingAnswer(remote::SettingAction, std::u16string_view name,
                                                   std::u16string_view value)>;
void SetSettingHandler(SettingHandler handler);

// Asks the instance serving this device root. Nothing when none serves it or it
// gave no answer in time (RemoteCallTimedOut tells which).
std::optional<SettingAnswer> RemoteSetting(remote::SettingAction action, std::u16string_view name,
                                           std::u16string_view value = u"");

// How long each call to the serving instance waits for its answer; by default
// 5 s, and 30 s for a sent message, which may open a modal dialog over there.
// A call that gets no answer in time fails and is not repeated.
void SetRemoteCallTimeout(std::chrono::milliseconds timeout);

// The program's status for swipetype-config, as text its own code makes up;
// without a handler the request is refused.
void SetStatusHandler(std::function<std::u16string()> handler);

// Asks the instance serving this device root for its status (empty when it
// refused). Nothing when none serves it or it gave no answer in time
// (RemoteCallTimedOut tells which).
std::optional<std::u16string> RemoteStatus();

// True when the last call to the serving instance failed for want of an
// answer in time.
bool RemoteCallTimedOut();

// True when, of those, the serving instance never took the call: it could not
// accept the connection (it has no descriptor left) or did not read the request.
bool RemoteCallNotTaken();

// After a call that got no answer in time, one sentence naming the program by
// its pid and saying what /proc tells of it: stopped, out of descriptors, or
// not answering (with the time waited when it took the request). Empty after
// any other call.
std::string UnansweredLine();

} // namespace platform
