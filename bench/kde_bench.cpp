// The kde key sink's delivery rate: a 1023-character prefix of the layout's
// characters typed into wev on KWin (virtual output), from the first key event
// to the last character wev has decoded, for the German and then the US layout
// of one KWin. The sink runs in the driver program the tests use
// (tests/support/kde_sink_driver.cpp), as the session's user, because KWin
// grants fake input by the client's executable. Beside it, the kde and the
// xtest sink, in the same driver, into xev through the same KWin's XWayland. Prints one row per
// measure: measure, value, target.
//
//   kde_bench
#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>

#include "platform/core/unicode.h"
#include "support/kde_driver.h"
#include "support/layout_characters.h"
#include "support/wayland_session.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr char kTarget[] = ">= 5000 characters/s";

void Row(const std::string& measure, const std::string& value, const char* target) {
    std::printf("%s\t%s\t%s\n", measure.c_str(), value.c_str(), target);
}

std::string Rate(std::size_t characters, double seconds, const char* note) {
    char value[96];
    std::snprintf(value, sizeof value, "%.0f characters/s (%.0f ms)%s",
                  static_cast<double>(characters) / seconds, seconds * 1e3, note);
    return value;
}

std::string MeasureNative(const wayland_test::WaylandSession& session,
                          wayland_test::KdeDriver& driver, const std::string& text) {
    wayland_test::KeyRecorder recorder;
    std::string error;
    if (!recorder.Start(session, error) || !recorder.WaitForKeyboard(10s)) {
        return "skipped: wev got no keyboard " + error;
    }
    std::string arrived;
    // wev's output is read while the driver types, so that wev never waits on it.
    std::string typed = driver.Ask("timed " + text, 60s, [&] { arrived = recorder.Text(); });
    std::string start = driver.Answer(10s);
    if (typed != "typed" || start.rfind("start ", 0) != 0) {
        return "failed: the driver said " + typed + " " + start;
    }
    Clock::time_point begun{std::chrono::nanoseconds(std::stoll(start.substr(6)))};
    Clock::time_point deadline = Clock::now() + 60s;
    while ((arrived = recorder.Text()).size() < text.size() && Clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    double seconds = std::chrono::duration<double>(Clock::now() - begun).count();
    if (arrived != text) {
        return "failed: " + std::to_string(arrived.size()) + " of " + std::to_string(text.size()) +
               " bytes arrived";
    }
    return Rate(platform::Utf8ToUtf16(text).size(), seconds, ", exact");
}

// The text xev decoded (XmbLookupString of each key press), in order.
std::string XevText(wayland_test::Process& xev) {
    std::string text;
    bool pressed = false;
    std::istringstream lines(xev.Output());
    for (std::string line; std::getline(lines, line);) {
        std::size_t found = line.find("XmbLookupString gives ");
        if (line.rfind("KeyPress event", 0) == 0) {
            pressed = true;
        } else if (pressed && found != std::string::npos) {
            std::size_t open = line.find('"'), close = line.rfind('"');
            if (open != std::string::npos && close > open) {
                text += line.substr(open + 1, close - open - 1);
            }
            pressed = false;
        }
    }
    return text;
}

// The sink named, in the driver as the session's user (XWayland lets in that
// user only), into xev.
std::string MeasureXWayland(const wayland_test::WaylandSession& session,
                            wayland_test::KdeDriver& driver, const std::string& sink,
                            const std::string& text) {
    if (session.XDisplay().empty()) {
        return "skipped: KWin started no XWayland";
    }
    std::unique_ptr<wayland_test::Process> xev =
        session.Launch({"stdbuf", "-oL", "xev", "-event", "keyboard", "-event", "focus"});
    if (!xev ||
        !test_support::WaitUntil(
            [&] { return xev->Output().find("FocusIn event") != std::string::npos; }, 10s)) {
        return "skipped: xev got no focus";
    }
    std::string using_ = driver.Ask("use " + sink);
    if (using_.rfind("using ", 0) != 0) {
        return "skipped: " + using_;
    }
    std::string arrived;
    std::string typed = driver.Ask("timed " + text, 60s, [&] { arrived = XevText(*xev); });
    std::string start = driver.Answer(10s);
    driver.Ask("use kde");
    if (typed != "typed" || start.rfind("start ", 0) != 0) {
        return "failed: the driver said " + typed + " " + start;
    }
    Clock::time_point begun{std::chrono::nanoseconds(std::stoll(start.substr(6)))};
    Clock::time_point deadline = Clock::now() + 60s;
    while ((arrived = XevText(*xev)).size() < text.size() && Clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    double seconds = std::chrono::duration<double>(Clock::now() - begun).count();
    if (arrived != text) {
        return "failed: " + std::to_string(arrived.size()) + " of " + std::to_string(text.size()) +
               " bytes arrived, " +
               (arrived == text.substr(0, arrived.size()) ? "in order" : "not as typed");
    }
    return Rate(platform::Utf8ToUtf16(text).size(), seconds, ", exact");
}

} // namespace

int main() {
    wayland_test::WaylandSession session;
    wayland_test::SessionOptions options;
    options.compositor = wayland_test::Compositor::KWin;
    options.layout = "de";
    options.xwayland = true;
    std::string reason;
    wayland_test::KdeDriver driver;
    bool up = session.Start(options, reason) &&
              driver.Start(session, SWIPETYPE_KDE_SINK_DRIVER_PATH, reason);
    for (const char* layout : {"de", "us"}) {
        std::string text = test_support::TypableLayoutText(layout, 1023);
        std::string where = std::string("(KWin, layout ") + layout + ")";
        if (!up) {
            Row("kde delivery " + where, "skipped: " + reason, kTarget);
            continue;
        }
        if (std::string(layout) != "de" && !session.SetLayout(layout, reason)) {
            Row("kde delivery " + where, "skipped: " + reason, kTarget);
            continue;
        }
        // The sink takes the new keymap once KWin has handed it out.
        test_support::WaitUntil([&] { return driver.Ask("can " + text).rfind("yes", 0) == 0; },
                                10s);
        Row("kde delivery of a 1023-character prefix into wev " + where,
            MeasureNative(session, driver, text), kTarget);
        for (const char* sink : {"kde", "xtest"}) {
            Row(std::string(sink) + " delivery of a 1023-character prefix into xev (XWayland) " +
                    where,
                MeasureXWayland(session, driver, sink, text), "-");
        }
    }
    return 0;
}
