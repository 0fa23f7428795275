// The built-in control classes. A button keeps its check state; a click on an
// auto check box toggles it, a click on an auto radio button checks it and clears
// the other auto radio buttons of its group, and then the parent hears of the click
// through WM_COMMAND with BN_CLICKED, as on the device.
#include <algorithm>

#include "platform/window_table.h"

namespace platform {
namespace {

DWORD ButtonType(const Window& window) { return window.style & BS_TYPEMASK; }

// The group of a control runs from the nearest sibling at or before it that has
// WS_GROUP (or the first sibling) up to, not including, the next one with WS_GROUP.
std::vector<HWND> GroupOf(const Window& control) {
    WindowTable& table = WindowTable::Instance();
    Window* parent = table.Find(control.parent);
    if (parent == nullptr) {
        return {control.handle};
    }
    const std::vector<HWND>& siblings = parent->children;
    auto self = std::find(siblings.begin(), siblings.end(), control.handle);
    if (self == siblings.end()) {
        return {control.handle};
    }
    auto start = self;
    while (start != siblings.begin()) {
        Window* window = table.Find(*start);
        if (window != nullptr && (window->style & WS_GROUP) != 0) {
            break;
        }
        --start;
    }
    std::vector<HWND> group{*start};
    for (auto it = start + 1; it != siblings.end(); ++it) {
        Window* window = table.Find(*it);
        if (window != nullptr && (window->style & WS_GROUP) != 0) {
            break;
        }
        group.push_back(*it);
    }
    return group;
}

void Click(HWND handle) {
    WindowTable& table = WindowTable::Instance();
    Window* button = table.Find(handle);
    if (button == nullptr) {
        return;
    }
    switch (ButtonType(*button)) {
    case BS_AUTOCHECKBOX:
        button->checkState = button->checkState == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        break;
    case BS_AUTORADIOBUTTON:
        for (HWND partner : GroupOf(*button)) {
            Window* other = table.Find(partner);
            if (other != nullptr && partner != handle &&
                ButtonType(*other) == BS_AUTORADIOBUTTON) {
                other->checkState = BST_UNCHECKED;
            }
        }
        button->checkState = BST_CHECKED;
        break;
    default: break;
    }
    HWND parent = button->parent;
    int id = button->controlId;
    if (parent != nullptr) {
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                     reinterpret_cast<LPARAM>(handle));
    }
}

} // namespace

LRESULT ButtonProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* button = WindowTable::Instance().Find(handle);
    if (button == nullptr) {
        return 0;
    }
    switch (message) {
    case BM_GETCHECK: return static_cast<LRESULT>(button->checkState);
    case BM_SETCHECK: button->checkState = wParam; return 0;
    case BM_CLICK: Click(handle); return 0;
    default: return DefWindowProcW(handle, message, wParam, lParam);
    }
}

LRESULT EditProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(handle, message, wParam, lParam);
}

LRESULT StaticProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(handle, message, wParam, lParam);
}

} // namespace platform
