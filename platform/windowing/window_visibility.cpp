// Showing, hiding, minimising, enabling and disabling windows.
#include "platform/core/system.h"
#include "platform/windowing/foreign_windows.h"
#include "platform/windowing/window_table.h"

namespace platform {
namespace {

bool Activates(int command) {
    return command == SW_SHOWNORMAL || command == SW_SHOW || command == SW_RESTORE ||
           command == SW_SHOWMAXIMIZED || command == SW_SHOWMINIMIZED;
}

bool Minimises(int command) {
    return command == SW_MINIMIZE || command == SW_SHOWMINIMIZED || command == SW_SHOWMINNOACTIVE;
}

// A window that becomes visible needs painting, and so do its visible children.
void InvalidateShownTree(HWND handle) {
    WindowTable& table = WindowTable::Instance();
    Window* window = table.Find(handle);
    if (window == nullptr || (window->style & WS_VISIBLE) == 0) {
        return;
    }
    window->needsPaint = true;
    RequestPaint(handle);
    std::vector<HWND> children = window->children;
    for (HWND child : children) {
        InvalidateShownTree(child);
    }
}

void Hide(HWND handle) {
    SendMessageW(handle, WM_SHOWWINDOW, FALSE, 0);
    Window* window = WindowTable::Instance().Find(handle);
    if (window == nullptr) {
        return;
    }
    window->style &= ~WS_VISIBLE;
    // A hidden window can neither keep the focus nor stay active.
    if (IsSelfOrAncestor(handle, GetFocus())) {
        SetFocus(nullptr);
    }
    if (WindowTable::Instance().active == handle) {
        SetActiveWindow(nullptr);
    }
}

void Minimise(HWND handle, int command) {
    Window* window = WindowTable::Instance().Find(handle);
    if (window->minimized) {
        return;
    }
    window->minimized = true;
    SendMessageW(handle, WM_SIZE, SIZE_MINIMIZED, 0);
    if (command == SW_MINIMIZE && WindowTable::Instance().active == handle) {
        SetActiveWindow(nullptr);
    }
}

// Any show command other than a minimising one brings a minimised window back,
// since this system has no icon to restore it from.
void Restore(HWND handle) {
    Window* window = WindowTable::Instance().Find(handle);
    if (!window->minimized) {
        return;
    }
    window->minimized = false;
    RECT client{};
    GetClientRect(handle, &client);
    SendMessageW(handle, WM_SIZE, SIZE_RESTORED,
                 MAKELPARAM(static_cast<WORD>(client.right), static_cast<WORD>(client.bottom)));
}

} // namespace
} // namespace platform

using platform::Window;
using platform::WindowTable;

BOOL ShowWindow(HWND handle, int command) {
    if (platform::ForeignWindows* foreign = platform::ForeignWindowsOf(handle)) {
        return foreign->Show(handle, command);
    }
    Window* window = WindowTable::Instance().Find(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    bool wasVisible = (window->style & WS_VISIBLE) != 0;
    if (command == SW_HIDE) {
        if (wasVisible) {
            platform::Hide(handle);
        }
        return wasVisible ? TRUE : FALSE;
    }
    if (command < SW_SHOWNORMAL || command > SW_RESTORE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return wasVisible ? TRUE : FALSE;
    }
    if (!wasVisible) {
        SendMessageW(handle, WM_SHOWWINDOW, TRUE, 0);
        if (window = WindowTable::Instance().Find(handle); window == nullptr) {
            return FALSE;
        }
        window->style |= WS_VISIBLE;
    }
    if (platform::Minimises(command)) {
        platform::Minimise(handle, command);
    } else {
        platform::Restore(handle);
    }
    if (!IsWindow(handle)) {
        return wasVisible ? TRUE : FALSE;
    }
    if (!wasVisible) {
        platform::InvalidateShownTree(handle);
    }
    bool topLevel = (GetWindowLongW(handle, GWL_STYLE) & WS_CHILD) == 0;
    if (topLevel && platform::Activates(command) && IsWindowEnabled(handle)) {
        SetActiveWindow(handle);
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND handle) {
    WindowTable& table = WindowTable::Instance();
    Window* window = table.Find(handle);
    if (window == nullptr) {
        return FALSE;
    }
    for (; window != nullptr; window = table.Find(window->parent)) {
        if ((window->style & WS_VISIBLE) == 0) {
            return FALSE;
        }
        if ((window->style & WS_CHILD) == 0) {
            break;
        }
    }
    return TRUE;
}

BOOL IsIconic(HWND handle) {
    Window* window = WindowTable::Instance().Find(handle);
    return window != nullptr && window->minimized ? TRUE : FALSE;
}

BOOL EnableWindow(HWND handle, BOOL enable) {
    Window* window = WindowTable::Instance().Find(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    bool wasDisabled = (window->style & WS_DISABLED) != 0;
    if (wasDisabled == (enable == FALSE)) {
        return wasDisabled ? TRUE : FALSE;
    }
    if (enable != FALSE) {
        window->style &= ~WS_DISABLED;
    } else {
        window->style |= WS_DISABLED;
        if (platform::IsSelfOrAncestor(handle, GetFocus())) {
            SetFocus(nullptr);
        }
    }
    SendMessageW(handle, WM_ENABLE, enable != FALSE ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND handle) {
    Window* window = WindowTable::Instance().Find(handle);
    return window != nullptr && (window->style & WS_DISABLED) == 0 ? TRUE : FALSE;
}
