// The static control: a text, or with SS_ICON a picture (STM_SETICON,
// STM_SETIMAGE with IMAGE_ICON). With SS_NOTIFY a click reaches the parent as
// STN_CLICKED.
#include "platform/core/system.h"
#include "platform/resources/resources.h"
#include "platform/windowing/window_table.h"

namespace platform {
namespace {

constexpr WORD STN_CLICKED = 0;

LRESULT SetIcon(Window& control, HICON icon) {
    HICON previous = control.icon;
    control.icon = icon;
    return reinterpret_cast<LRESULT>(previous);
}

} // namespace

LRESULT StaticProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* control = WindowTable::Instance().Find(handle);
    if (control == nullptr) {
        return 0;
    }
    switch (message) {
    case STM_SETICON:
        return SetIcon(*control, reinterpret_cast<HICON>(wParam));
    case STM_GETICON:
        return reinterpret_cast<LRESULT>(control->icon);
    case STM_SETIMAGE:
        return wParam == IMAGE_ICON ? SetIcon(*control, reinterpret_cast<HICON>(lParam)) : 0;
    case STM_GETIMAGE:
        return wParam == IMAGE_ICON ? reinterpret_cast<LRESULT>(control->icon) : 0;
    case WM_LBUTTONUP:
        if ((control->style & SS_NOTIFY) != 0) {
            NotifyParent(handle, STN_CLICKED);
        }
        return 0;
    default:
        return DefWindowProcW(handle, message, wParam, lParam);
    }
}

} // namespace platform
