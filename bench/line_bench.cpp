// A barcode scanner at its busiest: 200 lines a second, each a 13-digit code
// ended by CR, written into a pseudo-terminal that stands for COM1:, read by the
// line reader on its own timer in the message loop, and typed with ENTER through
// the xtest sink into an X client (Xvfb) and through the wayland sink into wev
// (sway headless). Beside it, in the same run and through the same sinks, the MSR
// path with the same codes as track 2 swipes at its shortest interval. Prints
// rows: measure, value, target, tab-separated.
//
//   line_bench [LINES]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "platform/keyboard/key_sink.h"
#include "platform/keyboard/key_sink_keeper.h"
#include "platform/keyboard/wayland/key_sink_wayland.h"
#include "platform/keyboard/x11/key_sink_xtest.h"
#include "platform/serial/serial_port_names.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/window.h"
#include "reader/line_reader.h"
#include "reader/msr_reader.h"
#include "settings/settings.h"
#include "support/serial_pty_pair.h"
#include "support/wayland_session.h"
#include "support/x_test_display.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kSpacing = std::chrono::microseconds(5000); // 200 a second

void Row(const std::string& measure, const std::string& value, const char* target) {
    std::printf("%s\t%s\t%s\n", measure.c_str(), value.c_str(), target);
    std::fflush(stdout);
}

HWND MakeWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = u"LineBench";
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, u"LineBench", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                           nullptr);
}

std::string Code(int read) {
    return std::to_string(4006381300000LL + read * 7919LL);
}

// What arrived in the client so far, as UTF-8.
using Arrived = std::function<std::string()>;

// Sends `lines` reads 5 ms apart (as the device sends them: `frame` around each
// code) while the loop runs, then runs it until every key has arrived or ten
// seconds passed. The value: lines a second typed, exact or not, and how long the
// last key came after the last read's end.
std::string Drive(serialtest::PtyPair& line, int lines, const std::string& opening,
                  const std::string& ending, const Arrived& arrived) {
    std::string expected;
    Clock::time_point start = Clock::now();
    Clock::time_point lastSent;
    for (int i = 0; i < lines; ++i) {
        Clock::time_point due = start + i * kSpacing;
        while (Clock::now() < due) {
            platform::RunMessagesFor(platform::Milliseconds{1});
        }
        std::string bytes = opening;
        bytes += Code(i);
        bytes += ending;
        if (::write(line.Master(), bytes.data(), bytes.size()) !=
            static_cast<ssize_t>(bytes.size())) {
            return "failed: the pseudo-terminal took no more";
        }
        lastSent = Clock::now();
        expected += Code(i) + "\r";
    }
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    std::string got;
    while ((got = arrived()).size() < expected.size() && Clock::now() < deadline) {
        platform::RunMessagesFor(platform::Milliseconds{1});
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    double tail = std::chrono::duration<double, std::milli>(Clock::now() - lastSent).count();
    char value[160];
    std::snprintf(value, sizeof value,
                  "%.0f lines/s typed (%zu of %zu bytes, %s); last key %.0f ms "
                  "after the last end",
                  static_cast<double>(lines) * (got.size() == expected.size() ? 1 : 0) / seconds,
                  got.size(), expected.size(), got == expected ? "exact" : "NOT exact", tail);
    return value;
}

// Both paths through the sink that is active: the line reader, then the MSR.
void MeasurePaths(const std::string& sink, serialtest::PtyPair& line, HWND window, int lines,
                  const std::function<void()>& clear, const Arrived& arrived) {
    clear();
    if (StartLineReader(window) != 1) {
        Row("line reader, " + sink, "failed: the reader did not start", "-");
        return;
    }
    Row("line reader, 200 13-digit lines/s with ENTER, " + sink,
        Drive(line, lines, "", "\r", arrived), "200 lines/s, exact");
    StopLineReader(window);
    clear();
    Settings.MSRInterval = 10;
    if (StartMSRReader(window) != 1) {
        Row("MSR reader, " + sink, "failed: the reader did not start", "-");
        return;
    }
    Row("MSR reader (10 ms ticks), the same codes as track 2 swipes at 200/s, " + sink,
        Drive(line, lines, ";", "?\r", arrived), "-");
    StopMSRReader(window);
}

} // namespace

int main(int argc, char** argv) {
    int lines = argc > 1 ? std::atoi(argv[1]) : 200;
    serialtest::PtyPair line;
    if (!line.Ready()) {
        Row("line reader", "skipped: no pseudo-terminal", "-");
        return 0;
    }
    platform::SetPortPath(1, line.Path());
    HWND window = MakeWindow();
    Settings.SendEnter = 1;
    Settings.UseTrack1 = 0;
    Settings.UseTrack3 = 0;

    std::string reason;
    x_test::XvfbServer server;
    x_test::TextWindow client;
    std::string error;
    std::unique_ptr<platform::KeySink> xtest;
    if (server.Start(reason) && client.Open(server.Name(), reason) &&
        (xtest = platform::MakeXTestKeySink(server.Name(), error)) != nullptr) {
        platform::SetKeySink(std::move(xtest));
        std::u32string taken;
        MeasurePaths(
            "xtest", line, window, lines, [&] { taken.clear(); },
            [&] {
                taken += client.Take(1 << 20, std::chrono::milliseconds(0));
                return std::string(taken.begin(), taken.end()); // digits and CR
            });
        platform::SetKeySink(nullptr);
    } else {
        Row("line reader, xtest", "skipped: " + reason + error, "-");
    }

    wayland_test::WaylandSession session;
    wayland_test::KeyRecorder recorder;
    if (!session.Start({}, reason) || !recorder.Start(session, reason)) {
        Row("line reader, wayland", "skipped: " + reason, "-");
        return 0;
    }
    setenv("XDG_RUNTIME_DIR", session.RuntimeDir().c_str(), 1);
    setenv("WAYLAND_DISPLAY", session.WaylandDisplay().c_str(), 1);
    std::unique_ptr<platform::KeySink> wayland = platform::MakeWaylandKeySink(error);
    if (wayland == nullptr) {
        Row("line reader, wayland", "skipped: " + error, "-");
        return 0;
    }
    platform::SetKeySink(platform::KeepKeySink(
        std::move(wayland), [](std::string&) { return std::unique_ptr<platform::KeySink>(); }));
    std::size_t before = 0;
    MeasurePaths(
        "wayland", line, window, lines, [&] { before = recorder.Text().size(); },
        [&] { return recorder.Text().substr(before); });
    return 0;
}
