// The tray icon's menu, for desktops whose panel draws an icon's menu itself (a
// StatusNotifierItem exports it over D-Bus before anyone taps) instead of asking
// the program for it on a tap. The program says which menu resource its taps
// open and with which message a chosen item reaches the icon's window (wParam
// the item's command id), as its own popup menu delivers the choice.
#pragma once

#include <vector>

#include "platform/core/types.h"
#include "platform/windowing/menus/menus.h"

namespace platform {

struct TrayMenuSource {
    HINSTANCE instance = nullptr;
    UINT menuId = 0;      // the menu resource
    int submenuIndex = 0; // the popup of that menu the taps open
    UINT commandMessage = 0;
};

// Names the menu; a source with menuId 0 forgets it.
void SetTrayMenuSource(const TrayMenuSource& source);

// The items of the named menu's popup, loaded afresh from the resources; empty
// when no menu is named or it cannot be loaded.
std::vector<MenuItemView> TrayMenuItems();

// Posts the choice of `command` to `window` as the named message. False, with
// nothing posted, when no menu is named or `command` is not an enabled command
// item of it.
bool ChooseTrayMenuItem(HWND window, UINT command);

} // namespace platform
