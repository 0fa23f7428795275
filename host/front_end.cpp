#include "host/front_end.h"

#include <cstdlib>

#include "platform/core/standard_streams.h"
#include "platform/core/wayland_socket.h"
#include "platform/keyboard/key_sink_choice.h"
#include "platform/modules/program_modules.h"

namespace host {
namespace {

#ifdef SWIPETYPE_HAVE_GTK
constexpr bool kGtkBuilt = true;
#else
constexpr bool kGtkBuilt = false;
#endif

// Whether the default is gtk: a Wayland compositor takes connections at
// WAYLAND_DISPLAY, or an X server at DISPLAY. Neither question maps GTK: the
// compositor's socket is tried with a bare connect(), and the X server is asked
// by Xlib in the X11 module, so a display that cannot be used costs no GTK.
bool DefaultIsGtk() {
    if (!kGtkBuilt) {
        return false;
    }
    std::string wayland;
    std::string noWayland;
    if (platform::WaylandDisplayReachable(wayland, noWayland)) {
        return true;
    }
    const char* display = std::getenv("DISPLAY");
    std::string error;
    if (display != nullptr && *display != '\0') {
        if (platform::XDisplayUsable(display, error)) {
            return true;
        }
    } else if (!wayland.empty()) {
        error = noWayland; // a Wayland session whose compositor is gone
    }
    if (!error.empty()) {
        platform::WriteErrorLine("swipetype: " + error + "; the windows are not shown");
    }
    return false;
}

} // namespace

bool StartFrontEnd(const std::optional<std::string>& asked, std::string& error) {
    if (asked ? *asked == "headless" : !DefaultIsGtk()) {
        return true;
    }
    std::string name = asked.value_or("gtk");
    if (name != "gtk" || !kGtkBuilt) {
        error = "the " + name + " front end is not part of this build";
        return false;
    }
    if (platform::StartFrontEndModule(error)) {
        return true;
    }
    if (asked) {
        return false;
    }
    platform::WriteErrorLine("swipetype: " + error + "; the windows are not shown");
    error.clear();
    return true;
}

void StopFrontEnd() {
    platform::StopFrontEndModule();
}

} // namespace host
