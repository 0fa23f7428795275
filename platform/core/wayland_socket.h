// Whether a Wayland compositor takes connections where the environment names
// one, asked with a bare connect() on its socket: the answer costs no Wayland
// library, so a program that ends up headless maps none.
#pragma once

#include <string>

namespace platform {

// True when WAYLAND_DISPLAY names a socket (in XDG_RUNTIME_DIR, or an absolute
// path) that accepts a connection, or when WAYLAND_SOCKET hands over one already
// made. `name` receives the display's name for messages; `why`, when false, one
// sentence saying what is missing. An unset WAYLAND_DISPLAY is no Wayland
// display: libwayland's fallback "wayland-0" is not tried.
bool WaylandDisplayReachable(std::string& name, std::string& why);

} // namespace platform
