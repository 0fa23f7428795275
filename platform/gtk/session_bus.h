// The desktop session's D-Bus bus, shared by the desktop notifications and the
// StatusNotifier tray icon (and by libdbusmenu, which takes GIO's shared
// connection to the same bus).
#pragma once

#include <gio/gio.h>
#include <string>

namespace platform::gtk_front_end {

// GIO's shared connection to the session bus, when the environment names one
// (DBUS_SESSION_BUS_ADDRESS, or the bus socket in XDG_RUNTIME_DIR); null with
// `problem` set otherwise. Asked once; the answer holds for the run. Losing the
// bus later does not end the program, as GIO would by default for its shared
// connection: what uses the bus falls back as if there had been none.
GDBusConnection* SessionBus(std::string& problem);

} // namespace platform::gtk_front_end
