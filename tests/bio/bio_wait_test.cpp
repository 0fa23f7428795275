// Waits on the manual clock. A port wait's hook moves the clock one millisecond per
// step, so a wait ends by its timer after an exact number of steps; waits that
// must end otherwise (a message, a closed port) are ended by what they test.
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/core/system.h"
#include "platform/windowing/dialogs.h"
#include "tests/bio/bio_fixture.h"

namespace {

using namespace std::chrono_literals;
using biotest::Commands;
using platform::Milliseconds;

int HookCalls = 0;
int HookResult = 0;
int CloseOnCall = 0;

// Moves the clock one millisecond per step, counts the calls, and closes the port
// PortToClose at call CloseOnCall.
int AdvancingHook(int) {
    HookCalls++;
    platform::AdvanceManualClock(1ms);
    if (HookCalls == CloseOnCall) {
        bio_close_port(biotest::PortToClose);
    }
    return 0;
}

int ResultHook(int) {
    HookCalls++;
    return HookResult;
}

class BioWaitTest : public biotest::BioTest {
  protected:
    void SetUp() override {
        BioTest::SetUp();
        HookCalls = 0;
        HookResult = 0;
        CloseOnCall = 0;
        platform::SetManualClockObserver([this](Milliseconds) { observed_++; });
    }
    void TearDown() override {
        platform::SetManualClockObserver(nullptr);
        BioTest::TearDown();
    }

    // A port whose waits move the clock.
    int OpenTimedPort() {
        int id = Open(1);
        EXPECT_EQ(bio_set_waithook(id, AdvancingHook), 0);
        return id;
    }

    // Gives the port's status word the bits of the line errors `errors`.
    void SeeLineErrors(int id, DWORD errors) {
        Device(1).QueueErrors(errors);
        ASSERT_EQ(bio_update_status(id), 0);
    }

    int observed_ = 0; // moves of the clock
};

TEST_F(BioWaitTest, StartFillsTheRecordAndZeroUnitsEndOnTheFirstStep) {
    int id = Open(1);
    ASSERT_EQ(bio_set_waithook(id, ResultHook), 0);
    BioWait wait;
    std::memset(&wait, 0xFF, sizeof wait);
    bio_set_timerresolution(10);
    ASSERT_EQ(bio_start_wait(id, 5, &wait), 0);
    EXPECT_EQ(wait.portId, id);
    EXPECT_EQ(wait.hook, ResultHook);
    EXPECT_EQ(wait.timer.timeout, 50);
    EXPECT_EQ(wait.timer.startTick, GetTickCount());
    std::memset(&wait, 0xFF, sizeof wait);
    ASSERT_EQ(bio_start_wait(-1, 0, &wait), 0);
    EXPECT_EQ(wait.portId, -1);
    EXPECT_EQ(wait.hook, nullptr);
    EXPECT_EQ(bio_wait_step(&wait), BIO_WAIT_TIME_UP);
    ASSERT_EQ(bio_start_wait(id, 0, &wait), 0);
    EXPECT_EQ(bio_wait_step(&wait), BIO_WAIT_TIME_UP);
    // No open port: 7 at once.
    EXPECT_EQ(bio_wait_ticks(1, 10), BIO_NO_PORT);
    EXPECT_EQ(bio_wait_ticks(4, 10), BIO_NO_PORT);
    EXPECT_EQ(bio_wait_ticks(-2, 10), BIO_NO_PORT);
    EXPECT_EQ(bio_start_wait(3, 10, &wait), BIO_NO_PORT);
    EXPECT_EQ(bio_set_waithook(1, AdvancingHook), BIO_NO_PORT);
}

// A unit lasts the timer resolution (zero counts as one); the hook runs once a
// millisecond step. A wait tied to no port runs on the clock alone.
TEST_F(BioWaitTest, AWaitRunsOutAfterItsUnits) {
    struct Case {
        long resolution;
        int units;
        Milliseconds lasts;
    };
    int id = OpenTimedPort();
    for (Case c : {Case{1, 50, 50ms}, Case{10, 5, 50ms}, Case{0, 20, 20ms}}) {
        SCOPED_TRACE(c.resolution);
        bio_set_timerresolution(c.resolution);
        HookCalls = 0;
        Milliseconds start = Now();
        EXPECT_EQ(bio_wait_ticks(id, c.units), BIO_WAIT_TIME_UP);
        EXPECT_EQ(Now() - start, c.lasts);
        EXPECT_EQ(HookCalls, c.lasts.count());
    }
    platform::UseRealClock();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(bio_wait_ticks(-1, 30), BIO_WAIT_TIME_UP);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 29ms);
}

// A quit message or a cancel command, to the thread or to a window (which gets it
// dispatched), ends a port wait at its first step with 2 and a wait tied to no
// port with 1; neither is left for the caller's own loop. Other commands are
// dispatched and the wait goes on: IDCANCEL in the low word alone is no cancel.
TEST_F(BioWaitTest, QuitOrCancelEndsTheWaitAndIsNotPutBack) {
    enum class Post { Quit, Cancel, CancelToWindow };
    int id = OpenTimedPort();
    HWND window = CommandWindow();
    for (int port : {id, -1}) {
        for (Post post : {Post::Quit, Post::Cancel, Post::CancelToWindow}) {
            SCOPED_TRACE(testing::Message() << "port " << port << ", post " << int(post));
            if (post == Post::Quit) {
                PostQuitMessage(3);
            } else {
                PostMessageW(post == Post::Cancel ? nullptr : window, WM_COMMAND, IDCANCEL, 0);
            }
            HookCalls = 0;
            EXPECT_EQ(bio_wait_ticks(port, 1000),
                      port == -1 ? BIO_WAIT_TIME_UP : BIO_WAIT_CANCELLED);
            EXPECT_EQ(HookCalls, port == -1 ? 0 : 1);
            EXPECT_FALSE(platform::QuitPending());
            EXPECT_FALSE(QueueHoldsAMessage());
        }
    }
    EXPECT_EQ(Commands, (std::vector<WPARAM>{IDCANCEL, IDCANCEL}));
    PostMessageW(window, WM_COMMAND, 1, 0);
    PostMessageW(window, WM_COMMAND, 0x10002, 0);
    HookCalls = 0;
    EXPECT_EQ(bio_wait_ticks(id, 10), BIO_WAIT_TIME_UP);
    EXPECT_EQ(Commands, (std::vector<WPARAM>{IDCANCEL, IDCANCEL, 1, 0x10002}));
    EXPECT_EQ(HookCalls, 10);
}

// The hook of the wait's start counts; a result of its own ends the wait at once.
TEST_F(BioWaitTest, HookIsCopiedWhenTheWaitStartsAndItsResultEndsTheWait) {
    int id = OpenTimedPort();
    BioWait wait;
    ASSERT_EQ(bio_start_wait(id, 3, &wait), 0);
    ASSERT_EQ(bio_set_waithook(id, ResultHook), 0);
    HookResult = 9;
    int result = 0;
    while (result == 0) {
        result = bio_wait_step(&wait);
    }
    EXPECT_EQ(result, BIO_WAIT_TIME_UP);
    HookCalls = 0;
    EXPECT_EQ(bio_wait_ticks(id, 0), 9);
    EXPECT_EQ(HookCalls, 1);
}

TEST_F(BioWaitTest, APortClosedByADispatchedMessageOrTheHookEndsTheWaitWithSeven) {
    biotest::PortToClose = OpenTimedPort();
    PostMessageW(CommandWindow(), WM_COMMAND, 1234, 0);
    EXPECT_EQ(bio_wait_ticks(biotest::PortToClose, 1000), BIO_NO_PORT);
    EXPECT_EQ(bio_get_slot(biotest::PortToClose), nullptr);
    biotest::PortToClose = OpenTimedPort();
    CloseOnCall = 3;
    EXPECT_EQ(bio_wait_ticks(biotest::PortToClose, 1000), BIO_NO_PORT);
    EXPECT_EQ(HookCalls, 3);
}

// A cancel ends a wait after a framing error as it does without one; after a
// break the queue is left alone and the timer ends the wait.
TEST_F(BioWaitTest, AfterAFramingErrorCancelEndsTheWaitAfterABreakOnlyTheTimer) {
    struct Case {
        DWORD error;
        int result;
        int hookCalls;
    };
    for (Case seen : {Case{CE_FRAME, 2, 1}, Case{CE_BREAK, 1, 10}}) {
        SCOPED_TRACE(seen.error);
        int id = OpenTimedPort();
        SeeLineErrors(id, seen.error);
        HookCalls = 0;
        PostMessageW(nullptr, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(bio_wait_ticks(id, 10), seen.result);
        EXPECT_EQ(HookCalls, seen.hookCalls);
        EXPECT_EQ(QueueHoldsAMessage(), seen.result == BIO_WAIT_TIME_UP);
        platform::ResetMessageLoop();
        bio_close_port(id);
    }
}

TEST_F(BioWaitTest, AfterAnOverrunEachStepYields) {
    int id = OpenTimedPort();
    SeeLineErrors(id, CE_OVERRUN);
    Milliseconds start = Now();
    EXPECT_EQ(bio_wait_ticks(id, 10), BIO_WAIT_TIME_UP);
    // Ten moves of the hook, and a Sleep(0) after each of the nine steps that went on.
    EXPECT_EQ(observed_, 19);
    EXPECT_EQ(Now() - start, 10ms);
}

// A hook that moves nothing asks for a step every millisecond; the parity sleeps
// alone move the clock.
TEST_F(BioWaitTest, AfterAParityErrorEachStepSleepsOneResolutionAndTheQueueIsServed) {
    int id = Open(1);
    ASSERT_EQ(bio_set_waithook(id, ResultHook), 0);
    SeeLineErrors(id, CE_RXPARITY);
    for (long resolution : {1L, 10L}) {
        bio_set_timerresolution(resolution);
        observed_ = 0;
        Milliseconds start = Now();
        EXPECT_EQ(bio_wait_ticks(id, 10), BIO_WAIT_TIME_UP);
        EXPECT_EQ(Now() - start, Milliseconds{10 * resolution});
        EXPECT_EQ(observed_, 10);
    }
    PostMessageW(nullptr, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(bio_wait_ticks(id, 100), BIO_WAIT_CANCELLED);
}

// Without a hook a wait sleeps between steps until something can change its
// outcome: here the clock moves once, straight to the end, or to a timer.
int TimerCalls = 0;
void CountingTimer(HWND, UINT, UINT_PTR, DWORD) {
    TimerCalls++;
}

TEST_F(BioWaitTest, AWaitSleepsUntilItsEndOrTheNextTimer) {
    int id = Open(1);
    Milliseconds start = Now();
    EXPECT_EQ(bio_wait_ticks(id, 50), BIO_WAIT_TIME_UP);
    EXPECT_EQ(Now() - start, 50ms);
    EXPECT_EQ(observed_, 1);
    TimerCalls = 0;
    ASSERT_NE(SetTimer(nullptr, 0, 30, CountingTimer), 0u);
    observed_ = 0;
    EXPECT_EQ(bio_wait_ticks(-1, 100), BIO_WAIT_TIME_UP);
    EXPECT_EQ(TimerCalls, 3); // at 30, 60 and 90 ms, each dispatched by a step
    EXPECT_EQ(observed_, 4);
}

} // namespace
