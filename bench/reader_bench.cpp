// The MSR reader's figures on a pseudo-terminal with the reader simulator, on the
// real clock. Run by hand (not a test):
//
//   reader_bench [SWIPES]
//
// 1. Idle: the reader running for 10 s with nothing arriving; processor time used.
// 2. Latency: SWIPES (default 50) swipes of 120 characters, each started at a random
//    point of the poll period; from the last byte on the line (as the simulator
//    reports it) to the last key event posted. Every swipe must arrive whole.
// 3. Empty tick: the cost of one tick that finds nothing waiting.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

#include "app/settings.h"
#include "platform/clock.h"
#include "platform/key_sink.h"
#include "platform/message_loop.h"
#include "platform/recorder.h"
#include "platform/serial_port_names.h"
#include "platform/window.h"
#include "reader/msr_reader.h"
#include "support/key_events.h"
#include "support/sim_process.h"

namespace {

using SteadyClock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

SteadyClock::time_point lastKey;

class TimingSink final : public platform::KeySink {
  public:
    bool Post(const platform::KeyEvent&) override {
        lastKey = SteadyClock::now();
        return true;
    }
    std::string Name() const override { return "timing"; }
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](timeval t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.lpszClassName = u"ReaderBench";
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, u"ReaderBench", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                           nullptr);
}

std::string TypedNarrow() {
    std::u16string typed = test_support::TypedText();
    return std::string(typed.begin(), typed.end());
}

// A 120-character swipe: track 1 padded to length, then track 2.
std::string Swipe(int number, std::string& typed) {
    std::string account = "4000" + std::to_string(100000000000 + number);
    std::string track2 = account + "=25121010000000000";
    std::string head = "B" + account + "^TEST/CARD^2512101";
    std::size_t fill = 120 - (1 + head.size() + 2 + 1 + track2.size() + 1);
    std::string track1 = head + std::string(fill, '0');
    typed = track1 + track2;
    return "%" + track1 + "?;" + track2 + "?";
}

void MeasureIdle(HWND window) {
    double before = CpuSeconds();
    auto start = SteadyClock::now();
    platform::RunMessagesFor(platform::Milliseconds{10000});
    double wall = std::chrono::duration<double>(SteadyClock::now() - start).count();
    double cpu = CpuSeconds() - before;
    std::printf("idle, reader running, nothing arriving: %.4f s of processor in %.2f s = %.4f %% "
                "of a core\n",
                cpu, wall, 100.0 * cpu / wall);
    (void)window;
}

std::optional<SteadyClock::time_point> LastByte(test_support::SimProcess& sim) {
    auto report = sim.ReadErrorLine(std::chrono::seconds(2));
    double seconds = 0;
    if (!report || std::sscanf(report->c_str() + report->rfind("last byte at "), "last byte at %lf",
                               &seconds) != 1) {
        return std::nullopt;
    }
    return SteadyClock::time_point(
        std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(seconds)));
}

bool WaitTyped(const std::string& text) {
    auto deadline = SteadyClock::now() + std::chrono::seconds(3);
    while (TypedNarrow() != text && SteadyClock::now() < deadline) {
        platform::RunMessagesFor(platform::Milliseconds{2});
    }
    return TypedNarrow() == text;
}

bool MeasureLatency(test_support::SimProcess& sim, int swipes) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> phase(0, static_cast<int>(Settings.MSRInterval));
    std::vector<double> latencies;
    for (int i = 0; i < swipes; ++i) {
        platform::RunMessagesFor(platform::Milliseconds{phase(random)});
        platform::StartRecording();
        std::string typed;
        sim.Send(Swipe(i, typed) + "\n");
        if (!WaitTyped(typed)) {
            std::printf("swipe %d not typed whole: \"%s\"\n", i, TypedNarrow().c_str());
            return false;
        }
        auto last = LastByte(sim);
        if (!last) {
            std::printf("no report from the simulator\n");
            return false;
        }
        latencies.push_back(Ms(lastKey - *last).count());
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("last byte to last key event over %d swipes of 120 characters: median %.1f ms, "
                "min %.1f ms, max %.1f ms (bound: %u + 20 + 2 = %u ms); none cut\n",
                swipes, latencies[latencies.size() / 2], latencies.front(), latencies.back(),
                Settings.MSRInterval, Settings.MSRInterval + 22);
    return true;
}

void MeasureEmptyTick(HWND window) {
    constexpr int kTicks = 100000;
    double cpuBefore = CpuSeconds();
    auto start = SteadyClock::now();
    for (int i = 0; i < kTicks; ++i) {
        OnMSRTimer(window, WM_TIMER, MSRTimerId, 0);
    }
    double wall = std::chrono::duration<double, std::micro>(SteadyClock::now() - start).count();
    double cpu = (CpuSeconds() - cpuBefore) * 1e6;
    std::printf("tick with nothing waiting: %.2f us wall, %.2f us processor (mean of %d)\n",
                wall / kTicks, cpu / kTicks, kTicks);
}

} // namespace

int main(int argc, char** argv) {
    int swipes = argc > 1 ? std::atoi(argv[1]) : 50;
    test_support::SimProcess sim(SWIPETYPE_SIM_PATH, {"msr"});
    if (!sim.Started()) {
        std::fprintf(stderr, "reader_bench: the simulator did not start\n");
        return 1;
    }
    platform::SetPortPath(1, sim.DevicePath());
    platform::SetKeySink(std::make_unique<TimingSink>());
    HWND window = MakeWindow();
    Settings.UseTrack3 = 0;
    if (StartMSRReader(window) != 1) {
        std::fprintf(stderr, "reader_bench: the reader did not start on %s\n",
                     sim.DevicePath().c_str());
        return 1;
    }
    MeasureIdle(window);
    bool whole = swipes <= 0 || MeasureLatency(sim, swipes);
    MeasureEmptyTick(window);
    StopMSRReader(window);
    return whole ? 0 : 1;
}
