// A popup menu in a window of its own. A Wayland compositor shows a menu only
// beside a surface of the program's own; when the menu's owner is hidden (a tap
// on the tray icon opens the tray menu just then) there is none, and GTK would
// show nothing while the program waits for a choice. The items are then shown
// as a column of buttons in a small window, placed by the compositor: a click
// chooses an item, closing the window, Escape or leaving it dismisses the menu.
#pragma once

#include <string>
#include <vector>

#include "platform/windowing/menus/menus.h"

#include <gtk/gtk.h>

namespace platform::gtk_front_end {

// The window, shown; `texts` and `widgets` receive the command items in order.
GtkWidget* ShowPopupWindow(const PopupMenuView& view, std::vector<std::string>& texts,
                           std::vector<GtkWidget*>& widgets);

} // namespace platform::gtk_front_end
