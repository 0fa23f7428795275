// Windows that this process's window table does not hold: those of another
// process, which the cross-process interface (ipc/) reaches and registers here
// while it runs. The window calls hand such a handle to it instead of failing,
// and FindWindowW asks it after its own windows; the window system itself knows
// nothing of sockets.
#pragma once

#include "platform/core/types.h"

namespace platform {

class ForeignWindows {
  public:
    virtual ~ForeignWindows() = default;
    // Whether `window` is a handle of this kind (it may still name no window).
    virtual bool Owns(HWND window) const = 0;
    virtual HWND Find(LPCWSTR className, LPCWSTR windowName) = 0;
    virtual LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual BOOL Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual BOOL Show(HWND window, int command) = 0;
    virtual BOOL SetForeground(HWND window) = 0;
};

// Registers the party that reaches foreign windows (one at a time; nullptr
// removes it). The caller keeps it alive while it is registered.
void SetForeignWindows(ForeignWindows* windows);

// The registered party when it owns `window`, else nullptr.
ForeignWindows* ForeignWindowsOf(HWND window);
// The registered party, if any.
ForeignWindows* RegisteredForeignWindows();

} // namespace platform
