// Menus: popup menus with items and submenus, loaded from menu resources or
// built with AppendMenuW, and the popup tracking of TrackPopupMenuEx. A menu
// lives in the window system's menu table until DestroyMenu; a submenu belongs
// to its parent and is destroyed with it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/core/types.h"

// Item flags (also the flags of a menu template's items, where MF_END marks the
// last item of a level).
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_UNCHECKED = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_END = 0x0080;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;

// Flags of TrackPopupMenuEx.
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_CENTERALIGN = 0x0004;
constexpr UINT TPM_RIGHTALIGN = 0x0008;
constexpr UINT TPM_TOPALIGN = 0x0000;
constexpr UINT TPM_VCENTERALIGN = 0x0010;
constexpr UINT TPM_BOTTOMALIGN = 0x0020;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;

struct TPMPARAMS {
    UINT cbSize;
    RECT rcExclude;
};
using LPTPMPARAMS = TPMPARAMS*;

HMENU CreatePopupMenu();
HMENU CreateMenu();
// Appends an item: a command (`idOrSubmenu` is its id), a separator, or with
// MF_POPUP a submenu (`idOrSubmenu` is its handle; the menu takes ownership).
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrSubmenu, LPCWSTR text);
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
int GetMenuItemCount(HMENU menu);
// The command id at a position: -1 (as UINT) for a submenu or a bad position.
UINT GetMenuItemID(HMENU menu, int position);
// The submenu at a position, or null when the item there is a command.
HMENU GetSubMenu(HMENU menu, int position);
// Enables (MF_ENABLED) or greys (MF_GRAYED) an item, by command or position.
// Returns the previous state, or -1 (as DWORD) when there is no such item.
DWORD EnableMenuItem(HMENU menu, UINT item, UINT flags);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);

// Shows a popup menu at (x, y) for `owner` and tracks it: messages of the whole
// program keep being dispatched (timers run) until an item is chosen or the menu
// is dismissed. With TPM_RETURNCMD the chosen command id is returned (0 when
// dismissed); without it, the choice is posted to the owner as WM_COMMAND and
// the result is nonzero for a choice. Only one popup is tracked at a time: a
// second call while one is open returns 0 at once. A quit message arriving
// while the menu is open dismisses it and is posted again for the caller.
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params);

namespace platform {

// A read-only view of a menu, for front ends and tests.
struct MenuItemView {
    UINT flags = 0; // MF_ flags (MF_POPUP, MF_SEPARATOR, MF_GRAYED, MF_CHECKED)
    UINT command = 0;
    std::u16string text;
    std::vector<MenuItemView> submenu;
};

struct PopupMenuView {
    HMENU menu = nullptr;
    HWND owner = nullptr;
    UINT flags = 0;
    int x = 0;
    int y = 0;
    std::vector<MenuItemView> items;
};

std::vector<MenuItemView> ViewMenu(HMENU menu);

// Whether `items` or their submenus hold `command` as an item that can be chosen.
bool HasEnabledCommand(const std::vector<MenuItemView>& items, UINT command);

// True while TrackPopupMenuEx tracks a menu; `view` then describes it.
bool OpenPopupMenu(PopupMenuView* view);

// Chooses an item of the open popup menu, as a tap on it would: `command` must
// be an enabled command item of that menu, or 0 to dismiss it. The choice takes
// effect when the tracking loop next runs. Returns false (and changes nothing)
// when no menu is open or the menu has no such enabled item.
bool ChoosePopupMenuItem(UINT command);

// Called (on the program's thread) each time a popup menu opens and closes,
// for a front end that shows it. Pass an empty function to stop.
void SetPopupMenuObserver(std::function<void(const PopupMenuView* openedOrNull)> observer);

} // namespace platform
