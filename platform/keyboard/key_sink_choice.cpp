#include "platform/keyboard/key_sink_choice.h"

#include <cstdlib>

#include "platform/core/user_notice.h"
#include "platform/keyboard/key_sink_factories.h"

namespace platform {
namespace {

std::string LayoutOf(const KeySinkSettings& settings) {
    return settings.layout.empty() ? DefaultKeyboardLayout() : settings.layout;
}

std::string DisplayOf(const KeySinkSettings& settings) {
    if (!settings.display.empty()) {
        return settings.display;
    }
    const char* display = std::getenv("DISPLAY");
    return display == nullptr ? std::string() : std::string(display);
}

// Under Wayland, XTest reaches only the X11 applications that run under XWayland.
bool WaylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (display != nullptr && *display != '\0') ||
           (type != nullptr && std::string(type) == "wayland");
}

std::string OnlyX11Notice(const std::string& uinputPath) {
    return "Only X11 applications will receive the keys in this Wayland session, as " + uinputPath +
           " cannot be opened. Give your user access to it with the udev rule "
           "60-swipetype-uinput.rules (see the README), then start Swipetype again.";
}

std::unique_ptr<KeySink> TryUinput(const KeySinkSettings& settings, std::string& problem) {
    if (!UinputAccessible(settings.uinputPath, problem)) {
        return nullptr;
    }
    return MakeUinputKeySink(LayoutOf(settings), problem, settings.uinputPath);
}

} // namespace

bool IsKeySinkName(const std::string& name) {
    return name == "xtest" || name == "uinput" || name == "text" || name == "none";
}

std::unique_ptr<KeySink> MakeKeySinkByName(const std::string& name, const KeySinkSettings& settings,
                                           std::string& error) {
    if (name == "xtest") {
        return MakeXTestKeySink(settings.display, error);
    }
    if (name == "uinput") {
        return MakeUinputKeySink(LayoutOf(settings), error, settings.uinputPath);
    }
    if (name == "text") {
        return MakeTextKeySink(settings.textFd);
    }
    if (name == "none") {
        return MakeNullKeySink();
    }
    error = "unknown key sink \"" + name + "\" (choose xtest, uinput, text or none)";
    return nullptr;
}

std::unique_ptr<KeySink> ChooseDefaultKeySink(const KeySinkSettings& settings, std::string& why) {
    std::string uinputProblem;
    bool wayland = WaylandSession();
    std::string uinputWhy = "key sink uinput for layout \"" + LayoutOf(settings) + "\": ";
    if (wayland) {
        if (auto sink = TryUinput(settings, uinputProblem)) {
            why = uinputWhy + "a Wayland session, where XTest reaches only X11 applications";
            return sink;
        }
    }
    std::string xtestProblem;
    if (DisplayOf(settings).empty()) {
        xtestProblem = "DISPLAY is not set";
    } else if (auto sink = MakeXTestKeySink(settings.display, xtestProblem)) {
        why = "key sink xtest: the X server " + DisplayOf(settings) + " offers XTest";
        if (wayland) {
            why += "; in this Wayland session only X11 applications receive the keys (" +
                   uinputProblem + ")";
            ReportUserNotice("keys", OnlyX11Notice(settings.uinputPath));
        }
        return sink;
    }
    if (!wayland) {
        if (auto sink = TryUinput(settings, uinputProblem)) {
            why = uinputWhy + "no X server with XTest (" + xtestProblem + ")";
            return sink;
        }
    }
    why = "key sink none, card data is not typed: no X server with XTest (" + xtestProblem +
          ") and no uinput keyboard (" + uinputProblem + "); --keys text prints it instead";
    return MakeNullKeySink();
}

} // namespace platform
