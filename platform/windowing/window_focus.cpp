// The keyboard focus and the active top-level window.
#include "platform/core/system.h"
#include "platform/windowing/foreign_windows.h"
#include "platform/windowing/window_table.h"

namespace platform {
namespace {

// The handle without the lowest bit, and whether the bit was set.
HWND PlainHandle(HWND handle, bool* bringOwned) {
    auto value = reinterpret_cast<UINT_PTR>(handle);
    if (bringOwned != nullptr) {
        *bringOwned = (value & 1) != 0;
    }
    return reinterpret_cast<HWND>(value & ~UINT_PTR{1});
}

// The newest visible, enabled window owned by `owner`, if any: a modal dialog
// stands in front of its owner.
HWND FrontOwnedWindow(HWND owner) {
    WindowTable& table = WindowTable::Instance();
    HWND front = nullptr;
    for (HWND handle : table.Handles()) {
        Window* window = table.Find(handle);
        if (window->owner == owner && !window->destroying && (window->style & WS_VISIBLE) != 0 &&
            (window->style & WS_DISABLED) == 0) {
            front = handle;
        }
    }
    return front;
}

} // namespace

void OnWindowDestroyed(HWND handle) {
    WindowTable& table = WindowTable::Instance();
    if (table.focus == handle) {
        table.focus = nullptr;
    }
    if (table.active == handle) {
        table.active = nullptr;
    }
}

} // namespace platform

using platform::Window;
using platform::WindowTable;

HWND SetFocus(HWND handle) {
    WindowTable& table = WindowTable::Instance();
    HWND previous = table.focus;
    if (handle == nullptr) {
        table.focus = nullptr;
        if (previous != nullptr) {
            SendMessageW(previous, WM_KILLFOCUS, 0, 0);
        }
        return previous;
    }
    if (table.Find(handle) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HWND topLevel = platform::TopLevelOf(handle);
    if (table.active != topLevel) {
        SetActiveWindow(topLevel);
    }
    previous = table.focus;
    if (previous == handle || table.Find(handle) == nullptr) {
        return previous;
    }
    table.focus = handle;
    if (table.Find(previous) != nullptr) {
        SendMessageW(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(handle), 0);
    }
    if (table.focus == handle) {
        SendMessageW(handle, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    }
    return previous;
}

HWND GetFocus() {
    return WindowTable::Instance().focus;
}

HWND SetActiveWindow(HWND handle) {
    WindowTable& table = WindowTable::Instance();
    handle = platform::PlainHandle(handle, nullptr);
    HWND previous = table.active;
    if (handle != nullptr) {
        Window* window = table.Find(handle);
        if (window == nullptr || (window->style & WS_CHILD) != 0) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
    }
    if (handle == previous) {
        return previous;
    }
    table.active = handle;
    if (table.Find(previous) != nullptr) {
        SendMessageW(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(previous) ? 1 : 0),
                     reinterpret_cast<LPARAM>(handle));
    }
    // Focus that stays inside the old window would belong to an inactive window.
    if (previous != nullptr && platform::IsSelfOrAncestor(previous, table.focus)) {
        SetFocus(nullptr);
    }
    if (handle != nullptr && table.active == handle) {
        SendMessageW(handle, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, IsIconic(handle) ? 1 : 0),
                     reinterpret_cast<LPARAM>(previous));
    }
    return previous;
}

HWND GetActiveWindow() {
    return WindowTable::Instance().active;
}

BOOL SetForegroundWindow(HWND handle) {
    if (platform::ForeignWindows* foreign = platform::ForeignWindowsOf(handle)) {
        return foreign->SetForeground(handle);
    }
    bool bringOwned = false;
    handle = platform::PlainHandle(handle, &bringOwned);
    Window* window = WindowTable::Instance().Find(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    HWND topLevel = platform::TopLevelOf(handle);
    // A disabled owner (one that runs a modal dialog) is brought forward by
    // activating the dialog in front of it.
    if (bringOwned || !IsWindowEnabled(topLevel)) {
        if (HWND front = platform::FrontOwnedWindow(topLevel)) {
            topLevel = front;
        }
    }
    SetActiveWindow(topLevel);
    return TRUE;
}

HWND GetForegroundWindow() {
    return WindowTable::Instance().active;
}
