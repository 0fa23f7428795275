#include <gtest/gtest.h>

#include <utility>

#include "bio/bio_timer.h"
#include "platform/core/clock.h"
#include "platform/core/system.h"

namespace {

using platform::Milliseconds;

class BioTimerTest : public testing::Test {
  protected:
    void SetUp() override { platform::UseManualClock(Milliseconds{1000}); }
    void TearDown() override {
        bio_set_timerresolution(1);
        platform::UseRealClock();
    }
    unsigned short* Timer() { return reinterpret_cast<unsigned short*>(&timer_); }
    BioTimer timer_{};
};

// A timer runs out after its units of the resolution (zero or less counts as one),
// and counts whole units.
TEST_F(BioTimerTest, TimerRunsOutAfterItsUnits) {
    for (auto [resolution, units] :
         {std::pair{1L, 100}, std::pair{10L, 5}, std::pair{0L, 7}, std::pair{-5L, 7}}) {
        SCOPED_TRACE(resolution);
        long unit = resolution > 0 ? resolution : 1;
        bio_set_timerresolution(resolution);
        EXPECT_EQ(bio_get_timerresolution(), resolution);
        EXPECT_EQ(bio_set_timer(units, Timer()), 0);
        EXPECT_EQ(timer_.timeout, units * unit);
        EXPECT_EQ(bio_get_timer(Timer()), BIO_TIMER_RUNNING);
        platform::AdvanceManualClock(Milliseconds{units * unit - 1});
        EXPECT_EQ(bio_get_elapsedtime(Timer()), units - 1);
        EXPECT_EQ(bio_get_timer(Timer()), BIO_TIMER_RUNNING);
        platform::AdvanceManualClock(Milliseconds{1});
        EXPECT_EQ(bio_get_elapsedtime(Timer()), units);
        EXPECT_EQ(bio_get_timer(Timer()), BIO_TIMER_RUN_OUT);
    }
    // Zero units have run out at once.
    bio_set_timer(0, Timer());
    EXPECT_EQ(bio_get_timer(Timer()), BIO_TIMER_RUN_OUT);
}

TEST_F(BioTimerTest, ElapsedTimeSurvivesTheTickCounterWrapping) {
    platform::UseManualClock(Milliseconds{0xFFFFFFFFLL - 15});
    bio_set_timer(1000, Timer());
    platform::AdvanceManualClock(Milliseconds{32});
    EXPECT_EQ(GetTickCount(), 16u);
    EXPECT_EQ(bio_get_elapsedtime(Timer()), 32);
    EXPECT_EQ(bio_get_timer(Timer()), BIO_TIMER_RUNNING);
}

TEST_F(BioTimerTest, ChangingResolutionMovesARunningTimer) {
    bio_set_timer(10, Timer()); // 10 ms at resolution 1
    platform::AdvanceManualClock(Milliseconds{9});
    bio_set_timerresolution(3); // 9 ms are 3 units of 3 ms: 9 < 10, still running
    EXPECT_EQ(bio_get_timer(Timer()), BIO_TIMER_RUNNING);
    platform::AdvanceManualClock(Milliseconds{3});
    EXPECT_EQ(bio_get_timer(Timer()), BIO_TIMER_RUN_OUT);
}

TEST_F(BioTimerTest, RecordAtAnOddAddressWorks) {
    alignas(8) unsigned char storage[sizeof(BioTimer) + 2] = {};
    auto* unaligned = reinterpret_cast<unsigned short*>(storage + 2);
    bio_set_timer(4, unaligned);
    EXPECT_EQ(bio_get_timer(unaligned), BIO_TIMER_RUNNING);
    platform::AdvanceManualClock(Milliseconds{4});
    EXPECT_EQ(bio_get_timer(unaligned), BIO_TIMER_RUN_OUT);
}

} // namespace
