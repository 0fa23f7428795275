#include "platform/keyboard/key_sink_factories.h"

#include <X11/Xlib.h>

namespace platform {

bool XDisplayUsable(const std::string& displayName, std::string& /*error*/) {
    Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (display == nullptr) {
        return false;
    }
    XCloseDisplay(display);
    return true;
}

} // namespace platform
