// The button control. A button keeps its check state; a click on an auto check
// box toggles it, a click on an auto radio button checks it and clears the other
// auto radio buttons of its group, and then the parent hears of the click
// through WM_COMMAND with BN_CLICKED, as on the device. A click is a press and a
// release of the button (mouse or space bar); BM_CLICK makes one, and a disabled
// button ignores it.
#include <algorithm>

#include "platform/core/system.h"
#include "platform/core/virtual_keys.h"
#include "platform/windowing/window_table.h"

namespace platform {
namespace {

DWORD ButtonType(const Window& window) {
    return window.style & BS_TYPEMASK;
}

bool HasCheckState(const Window& window) {
    switch (ButtonType(window)) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_AUTORADIOBUTTON:
        return true;
    default:
        return false;
    }
}

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
    case BS_AUTO3STATE:
        button->checkState = (button->checkState + 1) % 3;
        break;
    case BS_AUTORADIOBUTTON:
        for (HWND partner : GroupOf(*button)) {
            Window* other = table.Find(partner);
            if (other != nullptr && partner != handle && ButtonType(*other) == BS_AUTORADIOBUTTON) {
                other->checkState = BST_UNCHECKED;
            }
        }
        button->checkState = BST_CHECKED;
        break;
    default:
        break;
    }
    NotifyParent(handle, BN_CLICKED);
}

void Press(HWND handle, bool takeFocus) {
    if (takeFocus) {
        SetFocus(handle);
    }
    if (Window* button = WindowTable::Instance().Find(handle)) {
        button->pushed = true;
    }
}

void Release(HWND handle) {
    Window* button = WindowTable::Instance().Find(handle);
    if (button != nullptr && button->pushed) {
        button->pushed = false;
        Click(handle);
    }
}

} // namespace

void NotifyParent(HWND control, WORD code) {
    Window* window = WindowTable::Instance().Find(control);
    if (window == nullptr || window->parent == nullptr || (window->style & WS_CHILD) == 0) {
        return;
    }
    HWND parent = window->parent;
    auto id = static_cast<WORD>(window->controlId);
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

LRESULT ButtonProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* button = WindowTable::Instance().Find(handle);
    if (button == nullptr) {
        return 0;
    }
    switch (message) {
    case BM_GETCHECK:
        return static_cast<LRESULT>(button->checkState);
    case BM_SETCHECK:
        if (HasCheckState(*button)) {
            button->checkState = wParam;
        }
        return 0;
    case BM_GETSTATE:
        return static_cast<LRESULT>(button->checkState | (button->pushed ? BST_PUSHED : 0) |
                                    (GetFocus() == handle ? BST_FOCUS : 0));
    case BM_SETSTATE:
        button->pushed = wParam != 0;
        return 0;
    case BM_SETSTYLE:
        button->style = (button->style & ~BS_TYPEMASK) | (static_cast<DWORD>(wParam) & BS_TYPEMASK);
        return 0;
    case BM_CLICK:
        if (IsWindowEnabled(handle)) {
            SendMessageW(handle, WM_LBUTTONDOWN, 0, 0);
            SendMessageW(handle, WM_LBUTTONUP, 0, 0);
        }
        return 0;
    case WM_LBUTTONDOWN:
        Press(handle, true);
        return 0;
    case WM_LBUTTONUP:
        Release(handle);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) {
            Press(handle, false);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE) {
            Release(handle);
        }
        return 0;
    case WM_KILLFOCUS:
        button->pushed = false;
        return 0;
    default:
        return DefWindowProcW(handle, message, wParam, lParam);
    }
}

} // namespace platform
