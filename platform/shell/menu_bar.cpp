#include "platform/shell/menu_bar.h"

#include <map>
#include <string>

#include "platform/core/system.h"
#include "platform/resources/menu_bar_resource.h"
#include "platform/resources/resources.h"
#include "platform/windowing/menus/menus.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"

namespace {

struct MenuBarState {
    HWND owner = nullptr;
    HMENU menu = nullptr; // the menu the buttons drop down from; owned by the bar
    std::map<WORD, WORD> submenuOfCommand;
};

std::map<HWND, MenuBarState>& Bars() {
    static std::map<HWND, MenuBarState> bars;
    return bars;
}

// Wide enough for the caption at the device's font, as an auto-size button is.
int ButtonWidth(const std::u16string& caption) {
    return 16 + 7 * static_cast<int>(caption.size());
}

void DropDown(HWND bar, const MenuBarState& state, HWND button, WORD submenuIndex) {
    HMENU submenu = GetSubMenu(state.menu, submenuIndex);
    if (submenu == nullptr) {
        return;
    }
    RECT buttonRect{};
    RECT barRect{};
    GetWindowRect(button, &buttonRect);
    GetWindowRect(bar, &barRect);
    // Without TPM_RETURNCMD the choice is posted to the owner as WM_COMMAND.
    TrackPopupMenuEx(submenu, TPM_LEFTALIGN | TPM_BOTTOMALIGN, buttonRect.left, barRect.top,
                     state.owner, nullptr);
}

LRESULT MenuBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
    auto found = Bars().find(bar);
    if (found == Bars().end()) {
        return DefWindowProcW(bar, message, wParam, lParam);
    }
    switch (message) {
    case WM_COMMAND: {
        const MenuBarState& state = found->second;
        WORD command = LOWORD(wParam);
        auto submenu = state.submenuOfCommand.find(command);
        if (submenu != state.submenuOfCommand.end()) {
            DropDown(bar, state, reinterpret_cast<HWND>(lParam), submenu->second);
        } else {
            PostMessageW(state.owner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        }
        return 0;
    }
    case WM_DESTROY:
        DestroyMenu(found->second.menu);
        Bars().erase(found);
        return 0;
    default:
        return DefWindowProcW(bar, message, wParam, lParam);
    }
}

bool RegisterMenuBarClass() {
    static const bool registered = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = MenuBarProc;
        windowClass.lpszClassName = platform::kMenuBarClassName;
        return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

} // namespace

BOOL SHCreateMenuBar(PSHMENUBARINFO info) {
    if (info == nullptr ||
        (info->cbSize != kMenuBarInfoDeviceSize && info->cbSize != sizeof(SHMENUBARINFO))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (IsWindow(info->hwndParent) == FALSE) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    platform::MenuBarResource resource;
    if ((info->dwFlags & SHCMBF_EMPTYBAR) == 0 &&
        !platform::ReadMenuBarResource(info->hInstRes, info->nToolBarId, resource)) {
        return FALSE;
    }
    if (!RegisterMenuBarClass()) {
        return FALSE;
    }
    HMENU menu = nullptr;
    if (resource.menuId != 0) {
        menu = LoadMenuW(info->hInstRes, MAKEINTRESOURCEW(resource.menuId));
        if (menu == nullptr) {
            return FALSE;
        }
    }

    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    DWORD style = WS_POPUP | ((info->dwFlags & SHCMBF_HIDDEN) != 0 ? 0 : WS_VISIBLE);
    HWND bar = CreateWindowExW(0, platform::kMenuBarClassName, u"", style, workArea.left,
                               workArea.bottom - kMenuBarHeight, workArea.right - workArea.left,
                               kMenuBarHeight, info->hwndParent, nullptr, info->hInstRes, nullptr);
    if (bar == nullptr) {
        DestroyMenu(menu);
        return FALSE;
    }
    MenuBarState& state = Bars()[bar];
    state.owner = info->hwndParent;
    state.menu = menu;

    int x = 0;
    for (const platform::MenuBarButton& button : resource.buttons) {
        if ((button.style & TBSTYLE_SEP) != 0 || (button.state & TBSTATE_HIDDEN) != 0) {
            continue;
        }
        WCHAR caption[100] = {};
        LoadStringW(info->hInstRes, button.stringId, caption, 100);
        std::u16string text(caption);
        int width = ButtonWidth(text);
        DWORD buttonStyle = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON |
                            ((button.state & TBSTATE_ENABLED) != 0 ? 0 : WS_DISABLED);
        CreateWindowExW(0, u"BUTTON", caption, buttonStyle, x, 0, width, kMenuBarHeight, bar,
                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(button.command)),
                        info->hInstRes, nullptr);
        if ((button.style & TBSTYLE_DROPDOWN) != 0 && button.submenu != kMenuBarNoSubmenu) {
            state.submenuOfCommand[button.command] = button.submenu;
        }
        x += width;
    }
    info->hwndMB = bar;
    return TRUE;
}
