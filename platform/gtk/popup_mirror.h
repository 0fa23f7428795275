// Popup menus tracked by TrackPopupMenuEx, shown as GtkMenus at the position the
// program asked for (device screen coordinates, the X screen's top-left corner
// being the device's), aligned as its TPM_ flags say. A chosen item is handed to
// the tracking loop with ChoosePopupMenuItem; a click outside the menu (or
// Escape) dismisses it, which the loop sees as a choice of 0.
#pragma once

#include "platform/menus.h"

namespace platform::gtk_front_end {

// The observer for SetPopupMenuObserver: opens the menu, or closes it (null).
void ShowPopupMenu(const PopupMenuView* view);
void ClosePopupMenu();

} // namespace platform::gtk_front_end
