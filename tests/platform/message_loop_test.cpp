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

constexpr UINT kPing = WM_USER + 1;
constexpr UINT kPong = WM_USER + 2;

std::vector<MSG>& Delivered() {
    static std::vector<MSG> delivered;
    return delivered;
}

LRESULT RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_USER || message == WM_TIMER) {
        Delivered().push_back({window, message, wParam, lParam, 0, {0, 0}});
        return 7;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class MessageLoopTest : public testing::Test {
  protected:
    void SetUp() override {
        platform::ResetMessageLoop();
        platform::UseManualClock(Milliseconds{1000});
        Delivered().clear();
        ASSERT_TRUE(test_support::RegisterTestClass(u"MessageLoopTestWindow", RecordingProcedure));
        window_ = MakeWindow();
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        if (IsWindow(window_)) {
            DestroyWindow(window_);
        }
        platform::ResetMessageLoop();
        platform::UseRealClock();
    }
    static HWND MakeWindow() {
        return CreateWindowExW(0, u"MessageLoopTestWindow", u"", 0, 0, 0, 10, 10, nullptr, nullptr,
                               nullptr, nullptr);
    }

    HWND window_ = nullptr;
};

TEST_F(MessageLoopTest, PostedMessagesComeOutOldestFirstAndDispatchToTheWindow) {
    ASSERT_TRUE(PostMessageW(window_, kPing, 1, 10));
    ASSERT_TRUE(PostMessageW(window_, kPong, 2, 20));
    MSG message{};
    ASSERT_EQ(GetMessageW(&message, nullptr, 0, 0), 1);
    EXPECT_EQ(message.hwnd, window_);
    EXPECT_EQ(message.message, kPing);
    EXPECT_EQ(message.wParam, 1u);
    EXPECT_EQ(message.lParam, 10);
    EXPECT_EQ(DispatchMessageW(&message), 7);
    ASSERT_EQ(Delivered().size(), 1u);
    EXPECT_EQ(Delivered()[0].message, kPing);
    EXPECT_EQ(Delivered()[0].wParam, 1u);
    ASSERT_EQ(GetMessageW(&message, nullptr, 0, 0), 1);
    EXPECT_EQ(message.message, kPong);
    EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageLoopTest, PostingToAMissingWindowFails) {
    HWND gone = MakeWindow();
    DestroyWindow(gone);
    SetLastError(0);
    EXPECT_FALSE(PostMessageW(gone, kPing, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    MSG message{};
    EXPECT_EQ(GetMessageW(&message, gone, 0, 0), -1);
    EXPECT_EQ(GetMessageW(nullptr, nullptr, 0, 0), -1);
}

TEST_F(MessageLoopTest, TheQueueIsBounded) {
    for (std::size_t i = 0; i < kPostedMessageLimit; ++i) {
        ASSERT_TRUE(PostMessageW(window_, kPing, i, 0));
    }
    SetLastError(0);
    EXPECT_FALSE(PostMessageW(window_, kPing, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_QUOTA));
}

TEST_F(MessageLoopTest, QuitComesAfterThePostedMessagesAndStopsThePump) {
    ASSERT_TRUE(PostMessageW(window_, kPing, 0, 0));
    PostQuitMessage(3);
    ASSERT_TRUE(PostMessageW(window_, kPong, 0, 0));
    // Posted messages come before the quit, whatever order they were posted in.
    EXPECT_EQ(platform::PumpMessages(), 2);
    EXPECT_TRUE(platform::QuitPending());
    EXPECT_FALSE(platform::RunMessagesFor(Milliseconds{100}));
    EXPECT_EQ(platform::ClockNow(), Milliseconds{1000});
    MSG message{};
    ASSERT_EQ(GetMessageW(&message, nullptr, 0, 0), 0);
    EXPECT_EQ(message.message, WM_QUIT);
    EXPECT_EQ(message.wParam, 3u);
    EXPECT_FALSE(platform::QuitPending());
}

} // namespace
