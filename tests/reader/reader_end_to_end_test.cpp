// The MSR reader against the reader simulator on a pseudo-terminal, on the real
// clock: what a user sees with a reader on COM1:.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "platform/keyboard/key_sink.h"
#include "platform/serial/serial_port_names.h"
#include "reader_fixture.h"
#include "support/sim_process.h"

namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

const std::string kSimulator = SWIPETYPE_SIM_PATH;

// Keeps the time of the last key event that reached it.
class TimingSink final : public platform::KeySink {
  public:
    explicit TimingSink(SteadyClock::time_point* last) : last_(last) {}
    bool Post(const platform::KeyEvent&) override {
        *last_ = SteadyClock::now();
        return true;
    }
    std::string Name() const override { return "timing"; }

  private:
    SteadyClock::time_point* last_;
};

// "swipe sent: 34 bytes at 9600 baud, last byte at 5582.562256"; the epoch when
// the report says no time.
SteadyClock::time_point LastByteTime(const std::string& report) {
    double seconds = 0;
    std::size_t at = report.rfind("last byte at ");
    if (at != std::string::npos) {
        std::sscanf(report.c_str() + at, "last byte at %lf", &seconds);
    }
    return SteadyClock::time_point(
        std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(seconds)));
}

// The readers' set-up with the simulator's tty as COM1: and the real clock.
class ReaderEndToEndTest : public reader_test::ReaderTest {
  protected:
    void SetUp() override {
        ReaderTest::SetUp();
        platform::DetachMemorySerialDevice(1);
        platform::UseRealClock();
        Settings.UseTrack3 = 0;
        platform::SetKeySink(std::make_unique<TimingSink>(&lastKey_));
    }
    void TearDown() override {
        ReaderTest::TearDown();
        platform::SetKeySink(nullptr);
        platform::SetPortPath(1, "");
    }

    // Runs the loop until `text` has been typed in all, or `limit` has passed.
    static bool RunUntilTyped(const std::string& text, std::chrono::milliseconds limit) {
        auto deadline = SteadyClock::now() + limit;
        while (Typed() != text && SteadyClock::now() < deadline) {
            platform::RunMessagesFor(platform::Milliseconds{5});
        }
        return Typed() == text;
    }

    SteadyClock::time_point lastKey_{};
};

TEST_F(ReaderEndToEndTest, ASwipeIsTypedWithinAPollPeriodOfItsLastByte) {
    test_support::SimProcess sim(kSimulator, {"msr"});
    ASSERT_TRUE(sim.Started());
    platform::SetPortPath(1, sim.DevicePath());
    ASSERT_EQ(StartMSRReader(readerWindow_), 1);
    // A poll period and slack for a loaded machine, still short of the 500 ms of
    // silence after which a line is taken without its end.
    const auto bound = std::chrono::milliseconds(Settings.MSRInterval) + 150ms;
    std::string expected;
    for (int swipe = 0; swipe < 3; ++swipe) {
        // Swipes land at different points of the poll period.
        std::this_thread::sleep_for(std::chrono::milliseconds(110 * swipe));
        std::string number = "400000000000000" + std::to_string(swipe);
        ASSERT_TRUE(sim.Send("%B" + number + "^CARD/TEST^2512?;" + number + "=2512?\n"));
        expected += "B" + number + "^CARD/TEST^2512" + number + "=2512";
        ASSERT_TRUE(RunUntilTyped(expected, 2s)) << Typed();
        std::string report = sim.ReadErrorLine(1s).value_or("no report");
        auto late = lastKey_ - LastByteTime(report);
        EXPECT_LE(late, bound)
            << "swipe " << swipe << " typed "
            << std::chrono::duration_cast<std::chrono::milliseconds>(late).count()
            << " ms after its last byte: " << report;
    }
}

} // namespace
