#include <gtest/gtest.h>

#include <vector>

#include "platform/core/clock.h"
#include "platform/core/system.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"
#include "support/window_class.h"

namespace {

using platform::Milliseconds;

struct Tick {
    HWND window;
    UINT message;
    UINT_PTR id;
    DWORD time;
    bool operator==(const Tick&) const = default;
};

std::vector<Tick>& Ticks() {
    static std::vector<Tick> ticks;
    return ticks;
}

void RecordTick(HWND window, UINT message, UINT_PTR id, DWORD time) {
    Ticks().push_back({window, message, id, time});
}

void OtherProcedure(HWND window, UINT message, UINT_PTR id, DWORD time) {
    Ticks().push_back({window, message, id + 1000, time});
}

void KillSelf(HWND window, UINT message, UINT_PTR id, DWORD time) {
    RecordTick(window, message, id, time);
    KillTimer(window, id);
}

void DestroySelf(HWND window, UINT message, UINT_PTR id, DWORD time) {
    RecordTick(window, message, id, time);
    DestroyWindow(window);
}

std::vector<UINT_PTR>& WindowTicks() {
    static std::vector<UINT_PTR> ticks;
    return ticks;
}

LRESULT TimerWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        WindowTicks().push_back(wParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class TimerTest : public testing::Test {
  protected:
    void SetUp() override {
        platform::ResetMessageLoop();
        platform::UseManualClock(Milliseconds{0});
        Ticks().clear();
        WindowTicks().clear();
        ASSERT_TRUE(test_support::RegisterTestClass(u"TimerTestWindow", TimerWindowProcedure));
        window_ = CreateWindowExW(0, u"TimerTestWindow", u"", 0, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        if (IsWindow(window_)) {
            DestroyWindow(window_);
        }
        platform::ResetMessageLoop();
        platform::UseRealClock();
    }

    HWND window_ = nullptr;
};

TEST_F(TimerTest, FirstMessageIsDueOnePeriodAfterSettingThenEachPeriod) {
    ASSERT_EQ(SetTimer(window_, 1357, 325, RecordTick), 1357u);
    MSG message{};
    platform::AdvanceManualClock(Milliseconds{324});
    EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    platform::AdvanceManualClock(Milliseconds{1});
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.hwnd, window_);
    EXPECT_EQ(message.message, WM_TIMER);
    EXPECT_EQ(message.wParam, 1357u);
    EXPECT_EQ(message.lParam, reinterpret_cast<LPARAM>(&RecordTick));
    EXPECT_EQ(DispatchMessageW(&message), 0);
    EXPECT_EQ(Ticks(), (std::vector<Tick>{{window_, WM_TIMER, 1357, 325}}));
    EXPECT_TRUE(WindowTicks().empty());
    EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_TRUE(platform::RunMessagesFor(Milliseconds{675}));
    EXPECT_EQ(Ticks(), (std::vector<Tick>{{window_, WM_TIMER, 1357, 325},
                                          {window_, WM_TIMER, 1357, 650},
                                          {window_, WM_TIMER, 1357, 975}}));
    EXPECT_EQ(platform::ClockNow(), Milliseconds{1000});
}

TEST_F(TimerTest, ALateTimerGivesOneMessageAndMissesTheRest) {
    SetTimer(window_, 1, 100, RecordTick);
    platform::AdvanceManualClock(Milliseconds{450});
    EXPECT_EQ(platform::PumpMessages(), 1);
    platform::AdvanceManualClock(Milliseconds{99});
    EXPECT_EQ(platform::PumpMessages(), 0);
    platform::AdvanceManualClock(Milliseconds{1});
    EXPECT_EQ(platform::PumpMessages(), 1);
}

TEST_F(TimerTest, EarliestDueComesFirstAndPostedMessagesBeforeTimers) {
    SetTimer(window_, 2, 200, RecordTick);
    SetTimer(window_, 1, 100, RecordTick);
    platform::AdvanceManualClock(Milliseconds{300});
    PostMessageW(window_, WM_USER, 0, 0);
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, WM_USER);
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.wParam, 1u);
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.wParam, 2u);
}

TEST_F(TimerTest, KillTimerStopsItAndReportsAMissingTimer) {
    SetTimer(window_, 1357, 100, RecordTick);
    EXPECT_TRUE(KillTimer(window_, 1357));
    SetLastError(0);
    EXPECT_FALSE(KillTimer(window_, 1357));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(platform::RunMessagesFor(Milliseconds{500}));
    EXPECT_TRUE(Ticks().empty());
}

TEST_F(TimerTest, SettingAnExistingTimerReplacesIt) {
    SetTimer(window_, 1, 100, RecordTick);
    platform::AdvanceManualClock(Milliseconds{90});
    SetTimer(window_, 1, 300, OtherProcedure);
    EXPECT_TRUE(platform::RunMessagesFor(Milliseconds{400}));
    EXPECT_EQ(Ticks(), (std::vector<Tick>{{window_, WM_TIMER, 1001, 390}}));
}

TEST_F(TimerTest, ThreadTimersGetTheirOwnIds) {
    UINT_PTR first = SetTimer(nullptr, 1357, 100, RecordTick);
    UINT_PTR second = SetTimer(nullptr, 1357, 100, RecordTick);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(SetTimer(nullptr, first, 200, RecordTick), first);
    EXPECT_TRUE(platform::RunMessagesFor(Milliseconds{100}));
    ASSERT_EQ(Ticks().size(), 1u);
    EXPECT_EQ(Ticks()[0].window, nullptr);
    EXPECT_EQ(Ticks()[0].id, second);
}

// Another window's timer and a thread timer keep running: closing About must
// not stop the reader's poll timer.
TEST_F(TimerTest, TimersOfADestroyedWindowAreRemovedAndItGetsNoNewOne) {
    HWND other = CreateWindowExW(0, u"TimerTestWindow", u"", 0, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    SetTimer(window_, 1357, 100, RecordTick);
    SetTimer(other, 7, 300, RecordTick);
    UINT_PTR thread = SetTimer(nullptr, 0, 300, RecordTick);
    DestroyWindow(window_);
    SetLastError(0);
    EXPECT_EQ(SetTimer(window_, 1, 100, RecordTick), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_TRUE(platform::RunMessagesFor(Milliseconds{500}));
    EXPECT_EQ(Ticks(),
              (std::vector<Tick>{{other, WM_TIMER, 7, 300}, {nullptr, WM_TIMER, thread, 300}}));
    EXPECT_FALSE(KillTimer(window_, 1357));
    DestroyWindow(other);
    KillTimer(nullptr, thread);
    // Nothing is left to wait for, so a wait could never end.
    MSG message{};
    EXPECT_EQ(GetMessageW(&message, nullptr, 0, 0), -1);
}

TEST_F(TimerTest, AForgedOrStaleTimerMessageCallsNothing) {
    SetTimer(window_, 1, 100, RecordTick);
    // A posted WM_TIMER naming a procedure that is not this timer's.
    PostMessageW(window_, WM_TIMER, 1, reinterpret_cast<LPARAM>(&OtherProcedure));
    PostMessageW(window_, WM_TIMER, 2, reinterpret_cast<LPARAM>(&RecordTick));
    EXPECT_EQ(platform::PumpMessages(), 2);
    EXPECT_TRUE(Ticks().empty());
    // A message taken before its timer was killed.
    platform::AdvanceManualClock(Milliseconds{100});
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    KillTimer(window_, 1);
    DispatchMessageW(&message);
    EXPECT_TRUE(Ticks().empty());
}

TEST_F(TimerTest, AProcedureMayKillItsTimerOrDestroyItsWindow) {
    SetTimer(window_, 1, 100, KillSelf);
    SetTimer(window_, 2, 150, DestroySelf);
    SetTimer(window_, 3, 200, RecordTick);
    EXPECT_TRUE(platform::RunMessagesFor(Milliseconds{1000}));
    EXPECT_EQ(Ticks(),
              (std::vector<Tick>{{window_, WM_TIMER, 1, 100}, {window_, WM_TIMER, 2, 150}}));
    EXPECT_FALSE(IsWindow(window_));
}

TEST_F(TimerTest, APeriodOfZeroIsRaisedToTheMinimumAndTheTickCountWrapsAt32Bits) {
    SetTimer(window_, 1, 0, RecordTick);
    EXPECT_TRUE(platform::RunMessagesFor(Milliseconds{35}));
    ASSERT_EQ(Ticks().size(), 3u);
    EXPECT_EQ(Ticks()[0].time, USER_TIMER_MINIMUM);
    Ticks().clear();
    platform::UseManualClock(Milliseconds{0xFFFFFFFFLL - 50});
    SetTimer(window_, 1, 100, RecordTick);
    EXPECT_TRUE(platform::RunMessagesFor(Milliseconds{100}));
    ASSERT_EQ(Ticks().size(), 1u);
    EXPECT_EQ(Ticks()[0].time, 49u);
}

} // namespace
