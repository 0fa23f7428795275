// The menu table: menus built from menu templates or item by item. A popup item
// owns its submenu; destroying a menu destroys its submenus with it.
#include "platform/windowing/menus/menus.h"

#include <map>

#include "platform/core/byte_reader.h"
#include "platform/core/system.h"
#include "platform/resources/resource_bundle.h"
#include "platform/resources/resources.h"

namespace platform {
namespace {

struct MenuItem {
    UINT flags = 0;
    UINT command = 0;
    std::u16string text;
    HMENU submenu = nullptr;
};

struct Menu {
    std::vector<MenuItem> items;
    bool owned = false; // a submenu of another menu
};

struct MenuTable {
    std::map<UINT_PTR, Menu> menus;
    UINT_PTR nextHandle = 0x30010;
};

MenuTable& Menus() {
    static MenuTable table;
    return table;
}

Menu* FindMenu(HMENU handle) {
    auto found = Menus().menus.find(reinterpret_cast<UINT_PTR>(handle));
    if (found == Menus().menus.end()) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return nullptr;
    }
    return &found->second;
}

HMENU NewMenu() {
    MenuTable& table = Menus();
    HMENU handle = reinterpret_cast<HMENU>(table.nextHandle);
    table.nextHandle += 4;
    table.menus.emplace(reinterpret_cast<UINT_PTR>(handle), Menu{});
    return handle;
}

void DestroyMenuTree(HMENU handle) {
    Menu* menu = FindMenu(handle);
    if (menu == nullptr) {
        return;
    }
    std::vector<MenuItem> items = std::move(menu->items);
    Menus().menus.erase(reinterpret_cast<UINT_PTR>(handle));
    for (const MenuItem& item : items) {
        if (item.submenu != nullptr) {
            DestroyMenuTree(item.submenu);
        }
    }
}

// One level of a menu template: items until the one marked MF_END.
bool ReadTemplateLevel(ByteReader& reader, HMENU menu, int depth) {
    if (depth > 8) {
        return false; // deeper than any menu this program has: the data is bad
    }
    while (!reader.Failed()) {
        WORD flags = reader.Word();
        MenuItem item;
        item.flags = flags & ~MF_END;
        if ((flags & MF_POPUP) == 0) {
            item.command = reader.Word();
        }
        item.text = reader.Text();
        if (item.text.empty() && item.command == 0 && (flags & MF_POPUP) == 0) {
            item.flags |= MF_SEPARATOR;
        }
        if ((flags & MF_POPUP) != 0) {
            item.submenu = NewMenu();
            FindMenu(item.submenu)->owned = true;
            FindMenu(menu)->items.push_back(item);
            if (!ReadTemplateLevel(reader, item.submenu, depth + 1)) {
                return false;
            }
        } else {
            FindMenu(menu)->items.push_back(item);
        }
        if ((flags & MF_END) != 0) {
            return !reader.Failed();
        }
    }
    return false;
}

MenuItem* FindItem(HMENU handle, UINT item, UINT flags) {
    Menu* menu = FindMenu(handle);
    if (menu == nullptr) {
        return nullptr;
    }
    if ((flags & MF_BYPOSITION) != 0) {
        return item < menu->items.size() ? &menu->items[item] : nullptr;
    }
    for (MenuItem& entry : menu->items) {
        if (entry.submenu == nullptr && entry.command == item) {
            return &entry;
        }
        if (entry.submenu != nullptr) {
            if (MenuItem* found = FindItem(entry.submenu, item, flags)) {
                return found;
            }
        }
    }
    return nullptr;
}

DWORD ChangeItemState(HMENU menu, UINT item, UINT flags, UINT mask) {
    MenuItem* entry = FindItem(menu, item, flags);
    if (entry == nullptr) {
        return static_cast<DWORD>(-1);
    }
    DWORD previous = entry->flags & mask;
    entry->flags = (entry->flags & ~mask) | (flags & mask);
    return previous;
}

} // namespace

std::vector<MenuItemView> ViewMenu(HMENU handle) {
    std::vector<MenuItemView> view;
    Menu* menu = FindMenu(handle);
    if (menu == nullptr) {
        return view;
    }
    for (const MenuItem& item : menu->items) {
        MenuItemView entry{item.flags, item.command, item.text, {}};
        if (item.submenu != nullptr) {
            entry.submenu = ViewMenu(item.submenu);
        }
        view.push_back(std::move(entry));
    }
    return view;
}

} // namespace platform

using platform::FindMenu;

HMENU LoadMenuW(HINSTANCE, LPCWSTR name) {
    WORD id = 0;
    if (!platform::ResourceNumber(name, id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::span<const BYTE> bytes =
        platform::ResourceBytes(static_cast<WORD>(reinterpret_cast<UINT_PTR>(RT_MENU)), id);
    if (bytes.empty()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    platform::ByteReader reader(bytes);
    reader.Word(); // version
    reader.Skip(reader.Word());
    HMENU menu = platform::NewMenu();
    if (!platform::ReadTemplateLevel(reader, menu, 0)) {
        platform::DestroyMenuTree(menu);
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return menu;
}

HMENU CreatePopupMenu() {
    return platform::NewMenu();
}

HMENU CreateMenu() {
    return platform::NewMenu();
}

BOOL AppendMenuW(HMENU handle, UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text) {
    platform::Menu* menu = FindMenu(handle);
    if (menu == nullptr) {
        return FALSE;
    }
    platform::MenuItem item;
    item.flags = flags & (MF_POPUP | MF_SEPARATOR | MF_GRAYED | MF_DISABLED | MF_CHECKED);
    item.text = text != nullptr && (flags & MF_SEPARATOR) == 0 ? std::u16string(text) : u"";
    if ((flags & MF_POPUP) != 0) {
        auto submenu = reinterpret_cast<HMENU>(idOrSubmenu);
        platform::Menu* child = FindMenu(submenu);
        if (child == nullptr || child->owned || submenu == handle) {
            SetLastError(ERROR_INVALID_MENU_HANDLE);
            return FALSE;
        }
        child->owned = true;
        item.submenu = submenu;
        menu = FindMenu(handle);
    } else {
        item.command = static_cast<UINT>(idOrSubmenu & 0xFFFF);
    }
    menu->items.push_back(std::move(item));
    return TRUE;
}

BOOL DestroyMenu(HMENU handle) {
    if (FindMenu(handle) == nullptr) {
        return FALSE;
    }
    platform::DestroyMenuTree(handle);
    return TRUE;
}

BOOL IsMenu(HMENU handle) {
    return platform::Menus().menus.contains(reinterpret_cast<UINT_PTR>(handle)) ? TRUE : FALSE;
}

int GetMenuItemCount(HMENU handle) {
    platform::Menu* menu = FindMenu(handle);
    return menu != nullptr ? static_cast<int>(menu->items.size()) : -1;
}

UINT GetMenuItemID(HMENU handle, int position) {
    platform::Menu* menu = FindMenu(handle);
    if (menu == nullptr || position < 0 ||
        static_cast<std::size_t>(position) >= menu->items.size()) {
        return static_cast<UINT>(-1);
    }
    const platform::MenuItem& item = menu->items[static_cast<std::size_t>(position)];
    return item.submenu != nullptr ? static_cast<UINT>(-1) : item.command;
}

HMENU GetSubMenu(HMENU handle, int position) {
    platform::Menu* menu = FindMenu(handle);
    if (menu == nullptr || position < 0 ||
        static_cast<std::size_t>(position) >= menu->items.size()) {
        return nullptr;
    }
    return menu->items[static_cast<std::size_t>(position)].submenu;
}

DWORD EnableMenuItem(HMENU menu, UINT item, UINT flags) {
    return platform::ChangeItemState(menu, item, flags, MF_GRAYED | MF_DISABLED);
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
    return platform::ChangeItemState(menu, item, flags, MF_CHECKED);
}
