#include "platform/gtk/session_bus.h"

#include <cstdlib>
#include <unistd.h>

namespace platform::gtk_front_end {
namespace {

// GIO would otherwise start a bus of its own for the X display (autolaunch),
// which a program of the session must not do.
bool BusNamed() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return (address != nullptr && *address != '\0') ||
           (runtime != nullptr && ::access((std::string(runtime) + "/bus").c_str(), F_OK) == 0);
}

} // namespace

GDBusConnection* SessionBus(std::string& problem) {
    static GDBusConnection* bus = nullptr;
    static std::string lastProblem;
    static bool tried = false;
    if (!tried) {
        tried = true;
        GError* error = nullptr;
        if (!BusNamed()) {
            lastProblem = "no session bus";
        } else if ((bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error)) == nullptr) {
            lastProblem = error->message;
            g_error_free(error);
        } else {
            g_dbus_connection_set_exit_on_close(bus, FALSE);
        }
    }
    problem = lastProblem;
    return bus;
}

} // namespace platform::gtk_front_end
