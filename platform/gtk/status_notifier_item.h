// Tray icons as StatusNotifierItems (org.kde.StatusNotifierItem on the session
// bus), which the panels of today's desktops draw, Wayland ones included: the
// icon's picture as the item's pixmap (ARGB32 in network byte order), its tip as
// title and tool tip, the tray menu exported beside it (tray_menu_export.h).
// A change of picture or tip is announced with NewIcon / NewTitle / NewToolTip.
// Activate (a click on the item) reaches the icon's window as the device's
// double tap: its callback message with WM_LBUTTONDBLCLK.
//
// An item owns a bus name of its own, org.kde.StatusNotifierItem-<pid>-<n>, and
// gives it up when the icon goes: the watcher sees the name go and the panel
// drops the item. A bus name serves one object path, so the first icon alone
// becomes an item (the program has one).
#pragma once

#include <vector>

#include "platform/shell/shell.h"

namespace platform::gtk_front_end {

// Shows exactly the first of `icons`, registered with the present watcher.
void SyncStatusNotifierItems(const std::vector<TrayIcon>& icons);
void ClearStatusNotifierItems();
// Whether a watcher has taken the item.
bool StatusNotifierItemRegistered();

} // namespace platform::gtk_front_end
