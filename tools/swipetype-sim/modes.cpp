#include <cstdio>

#include "mode.h"

namespace sim {

std::vector<std::unique_ptr<Mode>> MakeModes() {
    std::vector<std::unique_ptr<Mode>> modes;
    modes.push_back(MakeMsrMode());
    modes.push_back(MakeRfidMode());
    modes.push_back(MakeModemMode());
    modes.push_back(MakeLineMode());
    return modes;
}

void Session::Report(const std::string& text) const {
    if (!quiet) {
        Warn(text);
    }
}

void Session::Warn(const std::string& text) const {
    std::fprintf(stderr, "swipetype-sim: %s\n", text.c_str());
}

bool Session::LineMatches(const LineSettings& settings, const char* what) const {
    if (deviceBaud == 0 || settings.baud == deviceBaud) {
        return true;
    }
    std::string rate = settings.baud != 0 ? std::to_string(settings.baud) + " baud"
                                          : std::string("a rate without a standard code");
    Warn(std::string(what) + " lost: the line is set to " + rate + ", the device talks at " +
         std::to_string(deviceBaud) + " baud");
    return false;
}

} // namespace sim
