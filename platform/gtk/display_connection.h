// The front end's connection to its display, the X server or the Wayland
// compositor, and what happens when it goes (the server or compositor ended, the
// session was logged out). GDK would end the process there and then, losing the
// settings not yet saved: Xlib calls its exit handler, and GDK's Wayland backend
// calls _exit(1) on a connection it cannot read or flush. The front end notices
// first and hands the end to the program, which ends the orderly way.
#pragma once

#include <poll.h>
#include <string>
#include <vector>

namespace platform::gtk_front_end {

enum class DisplayKind { X11, Wayland, Other };

// The kind of GDK's default display; its name for messages in `name`.
DisplayKind DefaultDisplayKind(std::string& name);

// Watches the default display's connection. `lost` runs once with a phrase
// naming the display ("the X display :0") when it is gone; it must not return
// into GDK, whose next request would crash or end the process.
void WatchDisplayConnection(void (*lost)(const std::string& display));

// Under Wayland, the checks that run before GDK next touches the connection:
// before GLib's sources are prepared (GDK flushes its requests there) and after
// a wait, with what the poll found (GDK reads there). Under X11 they do nothing:
// Xlib reports the loss itself.
void CheckDisplayConnection();
void CheckDisplayConnection(const std::vector<pollfd>& polled);

} // namespace platform::gtk_front_end
