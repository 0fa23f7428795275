// The window system's tray icons on the desktop. Where a StatusNotifier watcher
// is on the session bus, they are StatusNotifierItems, which the panels of KDE
// Plasma, GNOME (with the AppIndicator extension), XFCE and waybar draw, on X11
// and Wayland alike; otherwise, on an X display, XEmbed icons for the X tray
// hosts. The choice follows the watcher as it comes and goes. When neither kind
// is shown a few seconds after the first icon, the program says so once.
#pragma once

namespace platform::gtk_front_end {

// Starts following the session bus's watcher; `onX11` says whether XEmbed icons
// can be shown.
void StartTrayMirror(bool onX11);
void SyncTrayIcons();
// Removes every icon from the desktop. Only D-Bus is touched when the display
// is gone (`displayGone`).
void ClearTrayIcons(bool displayGone);

} // namespace platform::gtk_front_end
