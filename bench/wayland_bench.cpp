// The wayland key sink's delivery rate beside wtype's: the same 1023-character
// prefix typed into the same client (wev) on the same compositor (sway headless),
// from the first key event to the last character the client has decoded. The
// sink is the program's own, with its keeper sending its requests when the loop
// would wait, as in the program; wtype is Debian's. Prints two rows: measure,
// value, target, tab-separated.
//
//   wayland_bench
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "keys/keystrokes.h"
#include "platform/core/unicode.h"
#include "platform/keyboard/key_sink.h"
#include "platform/keyboard/key_sink_keeper.h"
#include "platform/keyboard/wayland/key_sink_wayland.h"
#include "platform/loop/wait_sources.h"
#include "support/wayland_session.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kSinkMeasure[] = "wayland delivery of a 1023-character prefix into wev (sway)";
constexpr char kWtypeMeasure[] = "wtype delivery of the same prefix, same compositor and client";

void Report(const char* measure, const std::string& value, const char* target) {
    std::printf("%s\t%s\t%s\n", measure, value.c_str(), target);
}

// "N characters/s (T ms)", or what went wrong.
std::string Rate(const std::string& expected, const std::string& arrived, Clock::duration took) {
    if (arrived != expected) {
        std::size_t same = 0;
        while (same < arrived.size() && same < expected.size() && arrived[same] == expected[same]) {
            ++same;
        }
        return "failed: " + std::to_string(arrived.size()) + " of " +
               std::to_string(expected.size()) + " bytes arrived, the first " +
               std::to_string(same) + " exact";
    }
    double seconds = std::chrono::duration<double>(took).count();
    char value[96];
    std::snprintf(value, sizeof value, "%.0f characters/s (%.0f ms), exact",
                  static_cast<double>(expected.size()) / seconds, seconds * 1e3);
    return value;
}

std::string MeasureSink(const wayland_test::WaylandSession& session, const std::string& text) {
    wayland_test::KeyRecorder recorder;
    std::string error;
    if (!recorder.Start(session, error)) {
        return "skipped: " + error;
    }
    // The bench's own process types; as root it reaches the compositor of the
    // session's user through the socket, as the program would as that user.
    setenv("XDG_RUNTIME_DIR", session.RuntimeDir().c_str(), 1);
    setenv("WAYLAND_DISPLAY", session.WaylandDisplay().c_str(), 1);
    std::unique_ptr<platform::KeySink> sink = platform::MakeWaylandKeySink(error);
    if (sink == nullptr) {
        return "skipped: " + error;
    }
    platform::SetKeySink(platform::KeepKeySink(
        std::move(sink), [](std::string&) { return std::unique_ptr<platform::KeySink>(); }));
    std::u16string prefix = platform::Utf8ToUtf16(text);
    Clock::time_point start = Clock::now();
    Clock::time_point deadline = start + std::chrono::seconds(60);
    TypeText(prefix.c_str(), FALSE, FALSE, FALSE, 0);
    // The program's loop goes on waiting, and the sink sends what it holds.
    std::string arrived;
    while ((arrived = recorder.Text()).size() < text.size() && Clock::now() < deadline) {
        platform::ServiceWaitSources(platform::Milliseconds{2});
    }
    Clock::duration took = Clock::now() - start;
    // The sink stays: a seat whose last keyboard went away gives the next client
    // modifiers before any keymap, on which wev 1.0 crashes.
    return Rate(text, arrived, took);
}

std::string MeasureWtype(const wayland_test::WaylandSession& session, const std::string& text) {
    wayland_test::KeyRecorder recorder;
    std::string error;
    if (!recorder.Start(session, error)) {
        return "skipped: " + error;
    }
    Clock::time_point start = Clock::now();
    std::unique_ptr<wayland_test::SessionProcess> wtype = session.Launch({"wtype", "--", text});
    if (wtype == nullptr) {
        return "skipped: wtype cannot be started";
    }
    std::string arrived = recorder.WaitFor(text, std::chrono::seconds(60));
    Clock::duration took = Clock::now() - start;
    return Rate(text, arrived, took);
}

} // namespace

int main() {
    // The printable ASCII characters over and over, as the xtest bench types.
    std::string text;
    for (int i = 0; i < 1023; ++i) {
        text += static_cast<char>('!' + i % ('~' - '!' + 1));
    }
    wayland_test::WaylandSession session;
    std::string reason;
    if (!session.Start({}, reason)) {
        Report(kSinkMeasure, "skipped: " + reason, ">= 10000 characters/s");
        Report(kWtypeMeasure, "skipped: " + reason, "-");
        return 0;
    }
    Report(kSinkMeasure, MeasureSink(session, text), ">= 10000 characters/s");
    Report(kWtypeMeasure, MeasureWtype(session, text), "-");
    platform::SetKeySink(nullptr);
    return 0;
}
