// Window rectangles and the screen. The screen is that of the device this system
// stands in for (240 x 320), with the shell's task bar over its top 26 rows; a
// window's caption takes 26 rows and a border one pixel on each side.
#include <algorithm>

#include "platform/core/system.h"
#include "platform/windowing/window_table.h"

namespace platform {
namespace {

constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 320;
constexpr int kTaskBarHeight = 26;
constexpr int kCaptionHeight = 26;
constexpr int kIconSize = 32;
constexpr int kSmallIconSize = 16;

// The non-client frame of a window: what lies between its rectangle and its
// client area on each side.
RECT Frame(const Window& window) {
    if ((window.style & WS_CAPTION) == WS_CAPTION) {
        return {0, kCaptionHeight, 0, 0};
    }
    if ((window.style & WS_BORDER) != 0) {
        return {1, 1, 1, 1};
    }
    return {0, 0, 0, 0};
}

// Screen position of a window's client area origin.
POINT ClientOrigin(HWND handle) {
    WindowTable& table = WindowTable::Instance();
    POINT origin{0, 0};
    for (Window* window = table.Find(handle); window != nullptr;) {
        RECT frame = Frame(*window);
        origin.x += window->rect.left + frame.left;
        origin.y += window->rect.top + frame.top;
        window = (window->style & WS_CHILD) != 0 ? table.Find(window->parent) : nullptr;
    }
    return origin;
}

} // namespace
} // namespace platform

using platform::Window;
using platform::WindowTable;

int GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
        return platform::kScreenWidth;
    case SM_CYSCREEN:
        return platform::kScreenHeight;
    case SM_CXICON:
    case SM_CYICON:
        return platform::kIconSize;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return platform::kSmallIconSize;
    default:
        return 0;
    }
}

BOOL SystemParametersInfoW(UINT action, UINT, LPVOID parameter, UINT) {
    if (action != SPI_GETWORKAREA || parameter == nullptr) {
        SetLastError(action != SPI_GETWORKAREA ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *static_cast<RECT*>(parameter) = {0, platform::kTaskBarHeight, platform::kScreenWidth,
                                      platform::kScreenHeight};
    return TRUE;
}

BOOL GetClientRect(HWND handle, RECT* rect) {
    Window* window = WindowTable::Instance().Find(handle);
    if (window == nullptr || rect == nullptr) {
        SetLastError(window == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    RECT frame = platform::Frame(*window);
    LONG width = window->rect.right - window->rect.left - frame.left - frame.right;
    LONG height = window->rect.bottom - window->rect.top - frame.top - frame.bottom;
    *rect = {0, 0, std::max(width, LONG{0}), std::max(height, LONG{0})};
    return TRUE;
}

BOOL GetWindowRect(HWND handle, RECT* rect) {
    Window* window = WindowTable::Instance().Find(handle);
    if (window == nullptr || rect == nullptr) {
        SetLastError(window == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    POINT origin{0, 0};
    if ((window->style & WS_CHILD) != 0) {
        origin = platform::ClientOrigin(window->parent);
    }
    *rect = {origin.x + window->rect.left, origin.y + window->rect.top,
             origin.x + window->rect.right, origin.y + window->rect.bottom};
    return TRUE;
}

BOOL MoveWindow(HWND handle, int x, int y, int width, int height, BOOL repaint) {
    Window* window = WindowTable::Instance().Find(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT old = window->rect;
    window->rect = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
    bool moved = old.left != window->rect.left || old.top != window->rect.top;
    bool resized = old.right - old.left != window->rect.right - window->rect.left ||
                   old.bottom - old.top != window->rect.bottom - window->rect.top;
    if (moved) {
        SendMessageW(handle, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
    }
    if (resized && IsWindow(handle)) {
        RECT client{};
        GetClientRect(handle, &client);
        SendMessageW(handle, WM_SIZE, SIZE_RESTORED,
                     MAKELPARAM(static_cast<WORD>(client.right), static_cast<WORD>(client.bottom)));
    }
    if (repaint != FALSE && IsWindow(handle)) {
        InvalidateRect(handle, nullptr, TRUE);
    }
    return TRUE;
}

BOOL ClientToScreen(HWND handle, POINT* point) {
    if (!IsWindow(handle) || point == nullptr) {
        return FALSE;
    }
    POINT origin = platform::ClientOrigin(handle);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

BOOL ScreenToClient(HWND handle, POINT* point) {
    if (!IsWindow(handle) || point == nullptr) {
        return FALSE;
    }
    POINT origin = platform::ClientOrigin(handle);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}
