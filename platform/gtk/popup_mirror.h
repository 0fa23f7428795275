// Popup menus tracked by TrackPopupMenuEx, shown as GtkMenus at the position the
// program asked for (device screen coordinates, the X screen's top-left corner
// being the device's), aligned as its TPM_ flags say. A chosen item is handed to
// the tracking loop with ChoosePopupMenuItem; a click outside the menu (or
// Escape) dismisses it, which the loop sees as a choice of 0.
#pragma once

#include "platform/windowing/menus/menus.h"

#include <gdk/gdk.h>

namespace platform::gtk_front_end {

// The observer for SetPopupMenuObserver: opens the menu, or closes it (null).
void ShowPopupMenu(const PopupMenuView* view);
void ClosePopupMenu();

// The person's latest button or key press, which the next menu is opened for:
// GTK grabs the pointer and keyboard for a menu with the device and time of the
// event that asked for it. (The menu itself comes later, once the message the
// click became has been handled.) Null forgets it.
void RememberTriggerEvent(const GdkEvent* event);

} // namespace platform::gtk_front_end
