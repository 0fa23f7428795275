// The shell menu-bar resource: RT_RCDATA data that describes the buttons of a
// menu bar. It is a sequence of 16-bit words: the id of the menu the buttons
// drop down from, the number of buttons, then seven words per button: image
// index (I_IMAGENONE for none), command id, button state, button style, id of
// the caption string, a reserved 0, and the index of the submenu it drops down
// (kMenuBarNoSubmenu for a plain button).
#pragma once

#include <vector>

#include "platform/core/types.h"

constexpr WORD I_IMAGENONE = static_cast<WORD>(-2);
constexpr WORD TBSTATE_CHECKED = 0x01;
constexpr WORD TBSTATE_PRESSED = 0x02;
constexpr WORD TBSTATE_ENABLED = 0x04;
constexpr WORD TBSTATE_HIDDEN = 0x08;
constexpr WORD TBSTYLE_BUTTON = 0x0000;
constexpr WORD TBSTYLE_SEP = 0x0001;
constexpr WORD TBSTYLE_CHECK = 0x0002;
constexpr WORD TBSTYLE_GROUP = 0x0004;
constexpr WORD TBSTYLE_DROPDOWN = 0x0008;
constexpr WORD TBSTYLE_AUTOSIZE = 0x0010;
constexpr WORD kMenuBarNoSubmenu = 0xFFFF;

namespace platform {

struct MenuBarButton {
    WORD image = I_IMAGENONE;
    WORD command = 0;
    WORD state = 0;
    WORD style = 0;
    WORD stringId = 0;
    WORD submenu = kMenuBarNoSubmenu;
};

struct MenuBarResource {
    WORD menuId = 0;
    std::vector<MenuBarButton> buttons;
};

// Reads menu-bar resource `id` (RT_RCDATA). False with the last error set when
// there is no such resource or its data is too short for what it announces.
bool ReadMenuBarResource(HINSTANCE module, UINT id, MenuBarResource& menuBar);

} // namespace platform
