#include "platform/shell/tray_menu.h"

#include "platform/resources/resources.h"
#include "platform/windowing/menus/menus.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"

namespace platform {
namespace {

TrayMenuSource& Source() {
    static TrayMenuSource source;
    return source;
}

} // namespace

void SetTrayMenuSource(const TrayMenuSource& source) {
    Source() = source;
}

std::vector<MenuItemView> TrayMenuItems() {
    const TrayMenuSource& source = Source();
    if (source.menuId == 0) {
        return {};
    }
    HMENU menu = LoadMenuW(source.instance, MAKEINTRESOURCEW(source.menuId));
    if (menu == nullptr) {
        return {};
    }
    std::vector<MenuItemView> items;
    if (HMENU popup = GetSubMenu(menu, source.submenuIndex); popup != nullptr) {
        items = ViewMenu(popup);
    }
    DestroyMenu(menu);
    return items;
}

bool ChooseTrayMenuItem(HWND window, UINT command) {
    if (command == 0 || !HasEnabledCommand(TrayMenuItems(), command)) {
        return false;
    }
    return PostMessageW(window, Source().commandMessage, command, 0) != FALSE;
}

} // namespace platform
