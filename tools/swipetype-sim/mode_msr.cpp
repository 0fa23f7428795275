// A magnetic stripe reader: each swipe is one line of track data followed by a
// carriage return, sent at the line's byte rate.
#include <chrono>
#include <cstdio>

#include "mode.h"

namespace sim {
namespace {

double SteadySeconds(std::chrono::steady_clock::time_point time) {
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

class MsrMode final : public Mode {
  public:
    const char* Name() const override { return "msr"; }
    const char* Summary() const override {
        return "magnetic stripe reader: sends each input line as a swipe, ended by CR";
    }
    const char* InputHelp() const override {
        return "one swipe per line, e.g. %B4111111111111111^DOE/J^2512?;4111111111111111=2512?\n"
               "blank lines are skipped";
    }
    unsigned DefaultBaud() const override { return 9600; }

    void OnInputLine(Session& session, std::string_view line) override {
        if (line.empty()) {
            return;
        }
        LineSettings settings = session.line.ReadSettings();
        if (!session.LineMatches(settings, "swipe")) {
            return;
        }
        std::string swipe(line);
        swipe += '\r';
        std::chrono::steady_clock::time_point last;
        std::string error;
        if (!session.line.WritePaced(swipe, settings, last, error)) {
            session.Warn(error);
            return;
        }
        // The card data itself is never printed; the time lets a script measure
        // how long the program takes from the last byte.
        char report[128];
        std::snprintf(report, sizeof report, "swipe sent: %zu bytes at %u baud, last byte at %.6f",
                      swipe.size(), settings.baud, SteadySeconds(last));
        session.Report(report);
    }

    // The reader takes no commands; what the program writes is read and dropped so
    // that the line never fills.
    void OnLineBytes(Session&, std::string_view) override {}
};

} // namespace

std::unique_ptr<Mode> MakeMsrMode() {
    return std::make_unique<MsrMode>();
}

} // namespace sim
