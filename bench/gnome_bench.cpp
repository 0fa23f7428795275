// The gnome key sink's delivery rate: a 1023-character prefix of the US
// layout's characters typed into wev on mutter (headless), from the first key
// event to the last character wev has decoded, the session's opening included.
// The sink is the program's own, kept by its keeper, its answers read from the
// loop as in the program. Prints one row: measure, value, target.
//
//   gnome_bench
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "keys/keystrokes.h"
#include "platform/core/unicode.h"
#include "platform/keyboard/gnome/key_sink_gnome.h"
#include "platform/keyboard/key_sink.h"
#include "platform/keyboard/key_sink_keeper.h"
#include "platform/loop/wait_sources.h"
#include "support/layout_characters.h"
#include "support/wayland_session.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kMeasure[] = "gnome delivery of a 1023-character prefix into wev (mutter)";
constexpr char kTarget[] = ">= 5000 characters/s";

std::string Measure(const wayland_test::WaylandSession& session, const std::string& text) {
    wayland_test::KeyRecorder recorder;
    std::string error;
    if (!recorder.Start(session, error)) {
        return "skipped: " + error;
    }
    setenv("DBUS_SESSION_BUS_ADDRESS", session.BusAddress().c_str(), 1);
    setenv("XDG_RUNTIME_DIR", session.RuntimeDir().c_str(), 1);
    setenv("WAYLAND_DISPLAY", session.WaylandDisplay().c_str(), 1);
    std::unique_ptr<platform::KeySink> sink = platform::MakeGnomeKeySink(error);
    if (sink == nullptr) {
        return "skipped: " + error;
    }
    platform::SetKeySink(platform::KeepKeySink(
        std::move(sink), [](std::string&) { return std::unique_ptr<platform::KeySink>(); }));
    std::u16string prefix = platform::Utf8ToUtf16(text);
    Clock::time_point start = Clock::now();
    Clock::time_point deadline = start + std::chrono::seconds(60);
    TypeText(prefix.c_str(), FALSE, FALSE, FALSE, 0);
    std::string arrived;
    while ((arrived = recorder.Text()).size() < text.size() && Clock::now() < deadline) {
        platform::ServiceWaitSources(platform::Milliseconds{2});
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (arrived != text) {
        return "failed: " + std::to_string(arrived.size()) + " of " + std::to_string(text.size()) +
               " bytes arrived";
    }
    char value[96];
    std::snprintf(value, sizeof value, "%.0f characters/s (%.0f ms), exact", 1023 / seconds,
                  seconds * 1e3);
    return value;
}

} // namespace

int main() {
    std::string text = test_support::LayoutText("us", 1023);
    wayland_test::WaylandSession session;
    wayland_test::SessionOptions options;
    options.compositor = wayland_test::Compositor::Mutter;
    std::string reason;
    std::string value =
        session.Start(options, reason) ? Measure(session, text) : "skipped: " + reason;
    std::printf("%s\t%s\t%s\n", kMeasure, value.c_str(), kTarget);
    platform::SetKeySink(nullptr);
    return 0;
}
