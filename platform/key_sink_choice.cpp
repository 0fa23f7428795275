#include "platform/key_sink_choice.h"

#include <cstdlib>

#include "platform/key_sink_uinput.h"
#include "platform/key_sink_xtest.h"

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
    std::string xtestProblem;
    if (DisplayOf(settings).empty()) {
        xtestProblem = "DISPLAY is not set";
    } else if (auto sink = MakeXTestKeySink(settings.display, xtestProblem)) {
        why = "key sink xtest: the X server " + DisplayOf(settings) + " offers XTest";
        return sink;
    }
    std::string uinputProblem;
    if (UinputAccessible(settings.uinputPath, uinputProblem)) {
        std::string layout = LayoutOf(settings);
        if (auto sink = MakeUinputKeySink(layout, uinputProblem, settings.uinputPath)) {
            why = "key sink uinput for layout \"" + layout + "\": no X server with XTest (" +
                  xtestProblem + ")";
            return sink;
        }
    }
    why = "key sink none, card data is not typed: no X server with XTest (" + xtestProblem +
          ") and no uinput keyboard (" + uinputProblem + "); --keys text prints it instead";
    return MakeNullKeySink();
}

} // namespace platform
