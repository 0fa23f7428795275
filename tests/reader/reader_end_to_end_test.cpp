// The readers against the reader simulator on a pseudo-terminal, on the real clock:
// what a user sees with a reader on COM1:.
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
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

// "swipe sent: 34 bytes at 9600 baud, last byte at 5582.562256"
std::optional<SteadyClock::time_point> LastByteTime(const std::string& report) {
    auto at = report.rfind("last byte at ");
    double seconds = 0;
    if (at == std::string::npos ||
        std::sscanf(report.c_str() + at, "last byte at %lf", &seconds) != 1) {
        return std::nullopt;
    }
    return SteadyClock::time_point(
        std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(seconds)));
}

class ReaderEndToEndTest : public testing::Test {
  protected:
    void SetUp() override {
        savedSettings_ = Settings;
        Settings = DefaultSettings();
        Settings.UseTrack3 = 0;
        platform::ResetMessageLoop();
        platform::UseRealClock();
        window_ = reader_test::MakeDialogStandIn();
        ASSERT_NE(window_, nullptr);
        reader_test::ResetReaders(window_);
        platform::SetKeySink(std::make_unique<TimingSink>(&lastKey_));
        platform::StartRecording();
    }
    void TearDown() override {
        platform::StopRecording();
        reader_test::ResetReaders(window_);
        platform::SetKeySink(nullptr);
        platform::SetPortPath(1, "");
        DestroyWindow(window_);
        platform::ResetMessageLoop();
        Settings = savedSettings_;
    }

    // Runs the loop until `text` has been typed in all, or `limit` has passed.
    static bool RunUntilTyped(const std::string& text, std::chrono::milliseconds limit) {
        auto deadline = SteadyClock::now() + limit;
        while (SteadyClock::now() < deadline) {
            if (reader_test::TypedNarrow() == text) {
                return true;
            }
            platform::RunMessagesFor(platform::Milliseconds{5});
        }
        return reader_test::TypedNarrow() == text;
    }

    HWND window_ = nullptr;
    SteadyClock::time_point lastKey_{};
    SettingsRecord savedSettings_{};
};

TEST_F(ReaderEndToEndTest, ASwipeIsTypedWithinAPollPeriodOfItsLastByte) {
    test_support::SimProcess sim(kSimulator, {"msr"});
    ASSERT_TRUE(sim.Started());
    platform::SetPortPath(1, sim.DevicePath());
    ASSERT_EQ(StartMSRReader(window_), 1);
    const auto bound = std::chrono::milliseconds(Settings.MSRInterval) + 40ms;
    std::string expected;
    for (int swipe = 0; swipe < 3; ++swipe) {
        // Swipes land at different points of the poll period.
        std::this_thread::sleep_for(std::chrono::milliseconds(110 * swipe));
        std::string number = "400000000000000" + std::to_string(swipe);
        ASSERT_TRUE(sim.Send("%B" + number + "^CARD/TEST^2512?;" + number + "=2512?\n"));
        expected += "B" + number + "^CARD/TEST^2512" + number + "=2512";
        ASSERT_TRUE(RunUntilTyped(expected, 2s)) << reader_test::TypedNarrow();
        auto report = sim.ReadErrorLine(1s);
        ASSERT_TRUE(report.has_value());
        auto lastByte = LastByteTime(*report);
        ASSERT_TRUE(lastByte.has_value()) << *report;
        EXPECT_LE(lastKey_ - *lastByte, bound)
            << "swipe " << swipe << " typed "
            << std::chrono::duration_cast<std::chrono::milliseconds>(lastKey_ - *lastByte).count()
            << " ms after its last byte";
    }
}

TEST_F(ReaderEndToEndTest, ATagIsTypedAtEveryTickWhilePresented) {
    test_support::SimProcess sim(kSimulator, {"rfid", "--tag", "0A1BC203", "--quiet"});
    ASSERT_TRUE(sim.Started());
    platform::SetPortPath(1, sim.DevicePath());
    ASSERT_EQ(StartRFIDReader(window_), 1);
    // Ticks at 350, 700, 1050 and 1400 ms: the first sees no answer yet.
    platform::RunMessagesFor(platform::Milliseconds{4 * Settings.RFIDInterval + 100});
    EXPECT_EQ(reader_test::TypedNarrow(), " A1BC2 3 A1BC2 3 A1BC2 3");
    ASSERT_TRUE(sim.Send("none\n"));
    platform::RunMessagesFor(platform::Milliseconds{3 * Settings.RFIDInterval});
    // The answer to the request sent before the tag went away may still be typed.
    std::string typed = reader_test::TypedNarrow();
    EXPECT_TRUE(typed == " A1BC2 3 A1BC2 3 A1BC2 3" || typed == " A1BC2 3 A1BC2 3 A1BC2 3 A1BC2 3")
        << typed;
}

} // namespace
