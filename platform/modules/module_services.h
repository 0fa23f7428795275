// The platform calls that the loadable modules make (module_interface.h), as
// tables of function pointers: the program fills a table with its own functions
// and hands it to a module, and the module's entry (platform/modules/entries/)
// defines each call as a forwarder through the table (the macros at the end of
// this file).
//
// Each list names its calls once, as X(result, name, (parameters), (arguments)),
// so that the table, the program's filling of it and the module's forwarders
// cannot disagree: a parameter list that differs from the header's declaration
// fails to compile on both sides. Calls of the global namespace (the Win32
// calls) and of namespace platform have lists of their own.
#pragma once

#include <chrono>
#include <cstdarg>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/core/system.h"
#include "platform/core/unicode.h"
#include "platform/core/user_notice.h"
#include "platform/keyboard/key_delay.h"
#include "platform/loop/wait_hook.h"
#include "platform/resources/resources.h"
#include "platform/shell/shell.h"
#include "platform/shell/tray_menu.h"
#include "platform/windowing/key_state.h"
#include "platform/windowing/menus/menus.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/orderly_end.h"
#include "platform/windowing/window.h"
#include "platform/windowing/window_view.h"

// What the key sinks call. NKDbgPrintfW takes a variable argument list, which
// cannot be forwarded as such: the module formats the line with wvsprintfW and
// hands over the finished text (KeySinkServices::debugLine).
#define SWIPETYPE_KEY_SINK_GLOBAL_CALLS(X)                                                         \
    X(int, wvsprintfW, (LPWSTR buffer, LPCWSTR format, va_list arguments),                         \
      (buffer, format, arguments))

#define SWIPETYPE_KEY_SINK_PLATFORM_CALLS(X)                                                       \
    X(std::chrono::milliseconds, KeyDelay, (), ())                                                 \
    X(void, DebugLine, (std::string_view text), (text))

// What the desktop front end calls: the window system's calls that a person's
// input turns into, and the read-only views of windows, menus and tray icons.
#define SWIPETYPE_FRONT_END_GLOBAL_CALLS(X)                                                        \
    X(HWND, CreateWindowExW,                                                                       \
      (DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width, \
       int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter),                 \
      (exStyle, className, windowName, style, x, y, width, height, parent, menu, instance,         \
       parameter))                                                                                 \
    X(LRESULT, DefWindowProcW, (HWND window, UINT message, WPARAM wParam, LPARAM lParam),          \
      (window, message, wParam, lParam))                                                           \
    X(BOOL, DestroyWindow, (HWND window), (window))                                                \
    X(HWND, GetActiveWindow, (), ())                                                               \
    X(BOOL, GetClientRect, (HWND window, RECT * rect), (window, rect))                             \
    X(HWND, GetFocus, (), ())                                                                      \
    X(LONG, GetWindowLongW, (HWND window, int index), (window, index))                             \
    X(int, GetWindowTextLengthW, (HWND window), (window))                                          \
    X(int, GetWindowTextW, (HWND window, LPWSTR buffer, int capacity), (window, buffer, capacity)) \
    X(BOOL, IsIconic, (HWND window), (window))                                                     \
    X(BOOL, IsWindow, (HWND window), (window))                                                     \
    X(BOOL, IsWindowEnabled, (HWND window), (window))                                              \
    X(BOOL, IsWindowVisible, (HWND window), (window))                                              \
    X(BOOL, PostMessageW, (HWND window, UINT message, WPARAM wParam, LPARAM lParam),               \
      (window, message, wParam, lParam))                                                           \
    X(ATOM, RegisterClassW, (const WNDCLASSW* windowClass), (windowClass))                         \
    X(LRESULT, SendMessageW, (HWND window, UINT message, WPARAM wParam, LPARAM lParam),            \
      (window, message, wParam, lParam))                                                           \
    X(HWND, SetActiveWindow, (HWND window), (window))                                              \
    X(HWND, SetFocus, (HWND window), (window))                                                     \
    X(BOOL, SetWindowTextW, (HWND window, LPCWSTR text), (window, text))                           \
    X(BOOL, ShowWindow, (HWND window, int command), (window, command))

#define SWIPETYPE_FRONT_END_PLATFORM_CALLS(X)                                                      \
    X(bool, ChoosePopupMenuItem, (UINT command), (command))                                        \
    X(bool, ChooseTrayMenuItem, (HWND window, UINT command), (window, command))                    \
    X(void, EndOrderlyHere, (), ())                                                                \
    X(bool, GetIconPicture, (HICON icon, IconPicture & picture), (icon, picture))                  \
    X(bool, OpenPopupMenu, (PopupMenuView * view), (view))                                         \
    X(void, ClearUserNotice, (const std::string& topic), (topic))                                  \
    X(void, ReleaseAllKeys, (), ())                                                                \
    X(void, ReportUserNotice, (const std::string& topic, const std::string& sentence),             \
      (topic, sentence))                                                                           \
    X(void, RequestOrderlyEnd, (), ())                                                             \
    X(void, SetKeyDown, (UINT virtualKey, bool down), (virtualKey, down))                          \
    X(void, SetUserNotifier, (UserNotifier notifier), (std::move(notifier)))                       \
    X(void, SetPopupMenuObserver,                                                                  \
      (std::function<void(const PopupMenuView* openedOrNull)> observer), (std::move(observer)))    \
    X(void, SetWaitHook, (WaitHook hook), (std::move(hook)))                                       \
    X(std::vector<TrayIcon>, TrayIcons, (), ())                                                    \
    X(std::vector<MenuItemView>, TrayMenuItems, (), ())                                            \
    X(std::string, Utf16ToUtf8, (std::u16string_view text), (text))                                \
    X(std::u16string, Utf8ToUtf16, (std::string_view text), (text))                                \
    X(bool, ViewWindow, (HWND window, WindowView & view), (window, view))                          \
    X(std::vector<WindowView>, ViewWindows, (), ())

// One pointer member per call of a list. `parameters` is a parenthesised parameter
// list and `result` a type, neither of which may be put in parentheses again.
// NOLINTNEXTLINE(bugprone-macro-parentheses)
#define SWIPETYPE_SERVICE_POINTER(result, name, parameters, arguments) result(*name) parameters;

namespace platform {

struct KeySinkServices {
    SWIPETYPE_KEY_SINK_GLOBAL_CALLS(SWIPETYPE_SERVICE_POINTER)
    SWIPETYPE_KEY_SINK_PLATFORM_CALLS(SWIPETYPE_SERVICE_POINTER)
    // NKDbgPrintfW of a finished line.
    void (*debugLine)(LPCWSTR text);
};

struct FrontEndServices {
    SWIPETYPE_FRONT_END_GLOBAL_CALLS(SWIPETYPE_SERVICE_POINTER)
    SWIPETYPE_FRONT_END_PLATFORM_CALLS(SWIPETYPE_SERVICE_POINTER)
};

} // namespace platform

// In a module: defines each call of a list as a forwarder through the table
// that the module's Services() returns. Expanded at global scope; the platform
// calls' results come last, where their names are looked up in the namespace.
#define SWIPETYPE_FORWARD_GLOBAL_CALL(result, name, parameters, arguments)                         \
    result name parameters {                                                                       \
        return Services().name arguments;                                                          \
    }
#define SWIPETYPE_FORWARD_PLATFORM_CALL(result, name, parameters, arguments)                       \
    auto platform::name parameters->result {                                                       \
        return Services().name arguments;                                                          \
    }

// In the program: sets each member of the table named `table` to the program's
// own function.
#define SWIPETYPE_FILL_GLOBAL_SERVICE(result, name, parameters, arguments) table.name = &::name;
#define SWIPETYPE_FILL_PLATFORM_SERVICE(result, name, parameters, arguments)                       \
    table.name = &::platform::name;
