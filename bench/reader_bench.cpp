// The MSR reader's figures on a pseudo-terminal with the reader simulator, on the
// real clock. Run by `make bench` (not a test); prints one row per figure:
// measure, value, target, tab-separated.
//
//   reader_bench [SWIPES]
//
// - The swipe's tick: the cost of the tick that finds a whole 120-character swipe
//   waiting, from its start to the last key event posted (wall and processor).
// - Latency: SWIPES (default 50) swipes of 120 characters, each started at a random
//   point of the poll period; from the last byte on the line (as the simulator
//   reports it) to the last key event posted. Every swipe must arrive whole.
// - Empty tick: the cost of one tick that finds nothing waiting.
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

#include "bio/bio.h"
#include "platform/core/clock.h"
#include "platform/core/recorder.h"
#include "platform/keyboard/key_sink.h"
#include "platform/serial/serial_port_names.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/timers.h"
#include "platform/windowing/window.h"
#include "reader/msr_reader.h"
#include "settings/settings.h"
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
    auto seconds = [](timeval t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
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

void Row(const std::string& measure, const std::string& value, const std::string& target) {
    std::printf("%s\t%s\t%s\n", measure.c_str(), value.c_str(), target.c_str());
    std::fflush(stdout);
}

std::string Format(const char* format, double first, double second = 0, double third = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, first, second, third);
    return text;
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
    // A swipe typed wrong or not at all would be a cut one: counted, not timed.
    int cut = 0;
    for (int i = 0; i < swipes; ++i) {
        platform::RunMessagesFor(platform::Milliseconds{phase(random)});
        platform::StartRecording();
        std::string typed;
        sim.Send(Swipe(i, typed) + "\n");
        bool whole = WaitTyped(typed);
        auto last = LastByte(sim);
        if (!last) {
            std::fprintf(stderr, "no report from the simulator\n");
            return false;
        }
        if (whole) {
            latencies.push_back(Ms(lastKey - *last).count());
        } else {
            ++cut;
        }
    }
    if (latencies.empty()) {
        return false;
    }
    std::sort(latencies.begin(), latencies.end());
    Row("last byte of a 120-character swipe -> its last key event (" + std::to_string(swipes) +
            " swipes, " + std::to_string(Settings.MSRInterval) + " ms ticks)",
        Format("median %.1f ms, min %.1f, max %.1f", latencies[latencies.size() / 2],
               latencies.front(), latencies.back()) +
            "; " + std::to_string(cut) + " cut",
        "<= " + std::to_string(Settings.MSRInterval + 22) + " ms (interval + 20 + 2), none cut");
    return true;
}

// The tick that finds a whole swipe waiting, called by hand once the swipe is in
// the tty, so that its start is known: from there to the last key event. A
// terminated line is read, decoded and typed within that one tick.
bool MeasureSwipeTick(HWND window, test_support::SimProcess& sim) {
    KillTimer(window, MSRTimerId); // the loop must not read the swipe first
    std::vector<double> walls;
    std::vector<double> cpus;
    for (int i = 0; i < 20; ++i) {
        platform::StartRecording();
        std::string typed;
        std::string swipe = Swipe(1000 + i, typed);
        sim.Send(swipe + "\n");
        auto deadline = SteadyClock::now() + std::chrono::seconds(3);
        while (bio_get_inputcount(ReaderPort) < static_cast<int>(swipe.size()) + 1) {
            if (SteadyClock::now() > deadline) {
                std::fprintf(stderr, "swipe %d did not arrive\n", i);
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        LastByte(sim);
        double cpuBefore = CpuSeconds();
        auto start = SteadyClock::now();
        OnMSRTimer(window, WM_TIMER, MSRTimerId, 0);
        cpus.push_back((CpuSeconds() - cpuBefore) * 1e3);
        if (TypedNarrow() != typed) {
            std::fprintf(stderr, "swipe %d not typed whole: \"%s\"\n", i, TypedNarrow().c_str());
            return false;
        }
        walls.push_back(Ms(lastKey - start).count());
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    Row("tick that sees a 120-character swipe -> its last key event (median of 20)",
        Format("%.2f ms wall; %.3f ms processor", walls[walls.size() / 2], cpus[cpus.size() / 2]),
        "<= 0.5 ms");
    SetTimer(window, MSRTimerId, Settings.MSRInterval, OnMSRTimer);
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
    Row("reader tick with nothing waiting (mean of " + std::to_string(kTicks) + ")",
        Format("%.2f us wall, %.2f us processor", wall / kTicks, cpu / kTicks), "-");
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
    bool whole = MeasureSwipeTick(window, sim) && (swipes <= 0 || MeasureLatency(sim, swipes));
    MeasureEmptyTick(window);
    StopMSRReader(window);
    return whole ? 0 : 1;
}
