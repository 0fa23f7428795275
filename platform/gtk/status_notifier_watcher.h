// The StatusNotifier watcher on the session bus (org.kde.StatusNotifierWatcher):
// the service through which a panel (KDE Plasma's, waybar, XFCE's, GNOME's with
// the AppIndicator extension) learns of tray items. It is followed for the whole
// run, since panels restart: each time a watcher appears, the items register
// with it again.
#pragma once

#include <functional>
#include <string>

namespace platform::gtk_front_end {

// Starts following the watcher. The bus is asked at once, so the answer holds
// before the first icon is shown; `changed` runs (from GLib's dispatch) each
// time a watcher appears or goes. Without a session bus nothing is followed.
void FollowStatusNotifierWatcher(std::function<void()> changed);
void StopFollowingStatusNotifierWatcher();

bool StatusNotifierWatcherPresent();
// Counts the watchers that have appeared, so that an item knows whether the one
// present now has heard of it.
unsigned StatusNotifierWatcherGeneration();

// Asks the present watcher to take the item owning `busName`; `done` runs later
// with an empty string, or with the watcher's (or the bus's) error.
void RegisterWithStatusNotifierWatcher(const std::string& busName,
                                       std::function<void(const std::string& error)> done);

} // namespace platform::gtk_front_end
