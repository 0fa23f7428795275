// The window system's tray icons on the desktop. Where a StatusNotifier watcher
// is on the session bus, they are StatusNotifierItems, which the panels of KDE
// Plasma, GNOME (with the AppIndicator extension), XFCE and waybar draw, on X11
// and Wayland alike; otherwise, on an X display, XEmbed icons for the X tray
// hosts. The choice follows the watcher as it comes and goes. Where neither
// exists, the window mirror keeps a window that would hide in the tray on the
// task list, minimised (window_mirror.h).
#pragma once

namespace platform::gtk_front_end {

// Said once when a window would hide in the tray and there is none.
inline constexpr char kNoTrayNotice[] = "No system tray is running on this desktop: the Swipetype "
                                        "window stays minimised in the task list instead.";

// Starts following the session bus's watcher; `onX11` says whether XEmbed icons
// can be shown.
void StartTrayMirror(bool onX11);
void SyncTrayIcons();
// Whether a tray is there to show the icons: a watcher on the session bus, or
// on X11 an XEmbed tray host.
bool TrayPresent();
// Removes every icon from the desktop. Only D-Bus is touched when the display
// is gone (`displayGone`).
void ClearTrayIcons(bool displayGone);

} // namespace platform::gtk_front_end
