// A read-only view of the window system for front ends and tests: what each
// window is, where it is, what it shows and which one has the focus. Nothing
// here changes a window; a front end acts through messages (BM_CLICK,
// WM_SETTEXT, WM_CHAR, ...) as a user's input would.
#pragma once

#include <string>
#include <vector>

#include "platform/core/types.h"
#include "platform/windowing/painting.h"

namespace platform {

struct WindowView {
    HWND handle = nullptr;
    HWND parent = nullptr; // of a child window
    HWND owner = nullptr;  // of a top-level window
    std::u16string className;
    std::u16string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    int controlId = 0;
    RECT rect{};          // relative to the parent's client area, or the screen
    RECT screenRect{};    // on the screen
    bool visible = false; // seen: itself and all its parents visible
    bool enabled = false;
    bool minimized = false;
    bool focused = false;
    bool active = false;
    WPARAM checkState = 0; // of a button
    UINT iconId = 0;       // resource id of an icon static's picture
    bool isDialog = false;
    std::vector<DrawnText> painted; // what the window's last paint drew
    std::vector<HWND> children;     // in tab order
};

// False for a handle that is no window.
bool ViewWindow(HWND window, WindowView& view);
// Every window, parents before their children, in creation order.
std::vector<WindowView> ViewWindows();
// The top-level windows, in creation order.
std::vector<HWND> TopLevelWindows();

} // namespace platform
