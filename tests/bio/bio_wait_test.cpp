// Waits on the manual clock. A port wait's hook moves the clock one millisecond per
// step, so a wait ends by its timer after an exact number of steps; waits that
// must end otherwise (a message, a closed port) are ended by what they test.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "bio/bio.h"
#include "platform/core/system.h"
#include "platform/windowing/dialogs.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"
#include "support/window_class.h"
#include "tests/bio/bio_fixture.h"

namespace {

using namespace std::chrono_literals;
using platform::Milliseconds;

int HookCalls = 0;
int HookResult = 0;
int PortToClose = -1;
int CloseOnCall = 0;

// Moves the clock one millisecond per step and counts the calls.
int AdvancingHook(int) {
    HookCalls++;
    platform::AdvanceManualClock(1ms);
    if (CloseOnCall != 0 && HookCalls == CloseOnCall) {
        bio_close_port(PortToClose);
    }
    return 0;
}

int ResultHook(int) {
    HookCalls++;
    return HookResult;
}

// A window whose procedure records WM_COMMAND and may close a port.
std::vector<WPARAM> Commands;
LRESULT RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        Commands.push_back(wParam);
        if (wParam == 1234) {
            bio_close_port(PortToClose);
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class BioWaitTest : public biotest::BioTest {
  protected:
    void SetUp() override {
        BioTest::SetUp();
        platform::ResetMessageLoop();
        HookCalls = 0;
        HookResult = 0;
        PortToClose = -1;
        CloseOnCall = 0;
        Commands.clear();
        observed_ = 0;
        platform::SetManualClockObserver([this](Milliseconds) { observed_++; });
    }
    void TearDown() override {
        platform::SetManualClockObserver(nullptr);
        if (window_ != nullptr) {
            DestroyWindow(window_);
        }
        platform::ResetMessageLoop();
        bio_set_timerresolution(1);
        BioTest::TearDown();
    }

    HWND Window() {
        EXPECT_TRUE(test_support::RegisterTestClass(u"BioWaitTestWindow", RecordingProcedure));
        window_ = CreateWindowW(u"BioWaitTestWindow", u"", 0, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
        EXPECT_NE(window_, nullptr);
        return window_;
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

    static bool QueueHoldsAMessage() {
        MSG message;
        return PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
    }

    int observed_ = 0;
    HWND window_ = nullptr;
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
    ASSERT_EQ(bio_start_wait(-1, 3, &wait), 0);
    EXPECT_EQ(wait.portId, -1);
    EXPECT_EQ(wait.hook, nullptr);

    // Zero units end on the first step.
    ASSERT_EQ(bio_start_wait(id, 0, &wait), 0);
    EXPECT_EQ(bio_wait_step(&wait), BIO_WAIT_TIME_UP);
    ASSERT_EQ(bio_start_wait(-1, 0, &wait), 0);
    EXPECT_EQ(bio_wait_step(&wait), BIO_WAIT_TIME_UP);
}

// A unit lasts the timer resolution (zero counts as one); the hook runs once a
// millisecond step.
TEST_F(BioWaitTest, PortWaitRunsOutAfterItsUnits) {
    struct Case {
        long resolution;
        int units;
        Milliseconds lasts;
    };
    for (Case c : {Case{1, 50, 50ms}, Case{10, 5, 50ms}, Case{0, 20, 20ms}}) {
        SCOPED_TRACE(c.resolution);
        int id = OpenTimedPort();
        bio_set_timerresolution(c.resolution);
        HookCalls = 0;
        Milliseconds start = Now();
        EXPECT_EQ(bio_wait_ticks(id, c.units), BIO_WAIT_TIME_UP);
        EXPECT_EQ(Now() - start, c.lasts);
        EXPECT_EQ(HookCalls, c.lasts.count());
        bio_close_port(id);
    }
}

TEST_F(BioWaitTest, PortlessWaitRunsOutOnTheRealClock) {
    platform::UseRealClock();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(bio_wait_ticks(-1, 30), BIO_WAIT_TIME_UP);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 29ms);
}

TEST_F(BioWaitTest, CancelCommandEndsAPortWaitWithTwoAndAPortlessOneWithOne) {
    int id = OpenTimedPort();
    PostMessageW(nullptr, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(bio_wait_ticks(id, 1000), BIO_WAIT_CANCELLED);
    EXPECT_EQ(HookCalls, 1);
    EXPECT_FALSE(QueueHoldsAMessage());

    PostMessageW(nullptr, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(bio_wait_ticks(-1, 1000), BIO_WAIT_TIME_UP);
    EXPECT_FALSE(QueueHoldsAMessage());
}

TEST_F(BioWaitTest, OtherCommandsAreDispatchedAndTheWaitGoesOn) {
    int id = OpenTimedPort();
    HWND window = Window();
    PostMessageW(window, WM_COMMAND, 1, 0);
    // IDCANCEL in the low word alone is not a cancel: wParam must be 2 as a whole.
    PostMessageW(window, WM_COMMAND, 0x10002, 0);
    EXPECT_EQ(bio_wait_ticks(id, 10), BIO_WAIT_TIME_UP);
    EXPECT_EQ(Commands, (std::vector<WPARAM>{1, 0x10002}));
    EXPECT_EQ(HookCalls, 10);
}

TEST_F(BioWaitTest, CancelSentToAWindowIsDispatchedAndEndsTheWait) {
    int id = OpenTimedPort();
    PostMessageW(Window(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(bio_wait_ticks(id, 1000), BIO_WAIT_CANCELLED);
    EXPECT_EQ(Commands, std::vector<WPARAM>{IDCANCEL});
}

TEST_F(BioWaitTest, QuitEndsTheWaitAndNeverReachesTheCallersLoop) {
    int id = OpenTimedPort();
    PostQuitMessage(3);
    EXPECT_EQ(bio_wait_ticks(id, 1000), BIO_WAIT_CANCELLED);
    EXPECT_FALSE(platform::QuitPending());
    EXPECT_FALSE(QueueHoldsAMessage());

    PostQuitMessage(0);
    EXPECT_EQ(bio_wait_ticks(-1, 1000), BIO_WAIT_TIME_UP);
    EXPECT_FALSE(platform::QuitPending());
    EXPECT_FALSE(QueueHoldsAMessage());
}

TEST_F(BioWaitTest, HookIsCopiedWhenTheWaitStartsAndItsResultEndsTheWaitBeforeTheTimer) {
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
    EXPECT_EQ(bio_wait_ticks(id, 3), 9);
    HookCalls = 0;
    EXPECT_EQ(bio_wait_ticks(id, 0), 9);
    EXPECT_EQ(HookCalls, 1);
}

TEST_F(BioWaitTest, MissingPortGivesSeven) {
    BioWait wait;
    EXPECT_EQ(bio_wait_ticks(0, 10), BIO_NO_PORT);
    EXPECT_EQ(bio_wait_ticks(4, 10), BIO_NO_PORT);
    EXPECT_EQ(bio_wait_ticks(-2, 10), BIO_NO_PORT);
    EXPECT_EQ(bio_start_wait(3, 10, &wait), BIO_NO_PORT);
    EXPECT_EQ(bio_set_waithook(0, AdvancingHook), BIO_NO_PORT);
}

TEST_F(BioWaitTest, PortClosedByADispatchedMessageOrTheHookEndsTheWaitWithSeven) {
    int id = OpenTimedPort();
    PortToClose = id;
    PostMessageW(Window(), WM_COMMAND, 1234, 0);
    EXPECT_EQ(bio_wait_ticks(id, 1000), BIO_NO_PORT);
    EXPECT_EQ(bio_get_slot(id), nullptr);

    PortToClose = id = OpenTimedPort();
    HookCalls = 0;
    CloseOnCall = 3;
    EXPECT_EQ(bio_wait_ticks(id, 1000), BIO_NO_PORT);
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
    for (Case seen :
         {Case{CE_FRAME, BIO_WAIT_CANCELLED, 1}, Case{CE_BREAK, BIO_WAIT_TIME_UP, 10}}) {
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
    EXPECT_EQ(bio_wait_ticks(id, 10), BIO_WAIT_TIME_UP);
    EXPECT_EQ(observed_, 10); // the hook's ten moves
    SeeLineErrors(id, CE_OVERRUN);
    observed_ = 0;
    Milliseconds start = Now();
    EXPECT_EQ(bio_wait_ticks(id, 10), BIO_WAIT_TIME_UP);
    // Ten moves of the hook, and a Sleep(0) after each of the nine steps that went on.
    EXPECT_EQ(observed_, 19);
    EXPECT_EQ(Now() - start, 10ms);
}

TEST_F(BioWaitTest, AfterAParityErrorEachStepSleepsOneResolutionAndTheQueueIsServed) {
    int id = Open(1);
    // A hook that moves nothing asks for a step every millisecond; the parity
    // sleeps alone move the clock.
    ASSERT_EQ(bio_set_waithook(id, ResultHook), 0);
    SeeLineErrors(id, CE_RXPARITY);
    Milliseconds start = Now();
    EXPECT_EQ(bio_wait_ticks(id, 10), BIO_WAIT_TIME_UP);
    EXPECT_EQ(Now() - start, 10ms);
    EXPECT_EQ(observed_, 10);

    bio_set_timerresolution(10);
    observed_ = 0;
    start = Now();
    EXPECT_EQ(bio_wait_ticks(id, 5), BIO_WAIT_TIME_UP);
    EXPECT_EQ(Now() - start, 50ms);
    EXPECT_EQ(observed_, 5);
    // The queue is still served.
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
