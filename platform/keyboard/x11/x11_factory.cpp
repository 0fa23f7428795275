// What the X11 module offers the table of sinks: the probe, which opens the
// display and closes it again, and the xtest sink.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include "platform/keyboard/x11/key_sink_xtest.h"

namespace platform {
namespace {

bool ProbeXTest(const KeySinkSettings& settings, std::string& reason) {
    const char* name = settings.display.empty() ? nullptr : settings.display.c_str();
    const char* label = XDisplayName(name);
    if (label == nullptr || *label == '\0') {
        reason = "DISPLAY is not set";
        return false;
    }
    Display* display = XOpenDisplay(name);
    if (display == nullptr) {
        reason = "cannot connect to the X server " + std::string(label);
        return false;
    }
    int events = 0;
    int errors = 0;
    int major = 0;
    int minor = 0;
    bool xtest = XTestQueryExtension(display, &events, &errors, &major, &minor) != 0;
    XCloseDisplay(display);
    if (!xtest) {
        reason = "the X server " + std::string(label) + " does not offer XTest";
    }
    return xtest;
}

std::unique_ptr<KeySink> MakeXTest(const KeySinkSettings& settings, std::string& error) {
    return MakeXTestKeySink(settings.display, error);
}

} // namespace

const KeySinkFactory key_sink_factories::x11{ProbeXTest, MakeXTest};

} // namespace platform
