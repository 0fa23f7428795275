// The loop on the real clock: waiting in poll() for descriptors and timers.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

#include "platform/core/clock.h"
#include "platform/core/system.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/messages.h"

namespace {

using platform::Milliseconds;
using SteadyClock = std::chrono::steady_clock;

constexpr UINT kDataArrived = WM_USER + 5;
constexpr UINT kDeadline = WM_USER + 6;

void PostDeadline(HWND, UINT, UINT_PTR, DWORD) {
    PostThreadMessageW(GetCurrentThreadId(), kDeadline, 0, 0);
}

class WaitSourceTest : public testing::Test {
  protected:
    void SetUp() override {
        platform::ResetMessageLoop();
        platform::UseRealClock();
        ASSERT_EQ(pipe2(pipe_, O_CLOEXEC | O_NONBLOCK), 0);
        // Every test here ends by itself within two seconds at most.
        deadlineTimer_ = SetTimer(nullptr, 0, 2000, PostDeadline);
    }
    void TearDown() override {
        platform::ResetMessageLoop();
        close(pipe_[0]);
        close(pipe_[1]);
    }

    int pipe_[2] = {-1, -1};
    UINT_PTR deadlineTimer_ = 0;
};

TEST_F(WaitSourceTest, GetMessageWaitsForADescriptor) {
    int readEnd = pipe_[0];
    platform::AddWaitSource(readEnd, POLLIN, [](int fd, short events) {
        char byte = 0;
        if ((events & POLLIN) != 0 && read(fd, &byte, 1) == 1) {
            PostThreadMessageW(GetCurrentThreadId(), kDataArrived, static_cast<BYTE>(byte), 0);
        }
    });
    // Taken before the writer starts its 50 ms, so that a test thread that is
    // scheduled late cannot make the wait look shorter than it was.
    auto start = SteadyClock::now();
    std::thread writer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        (void)!write(pipe_[1], "x", 1);
    });
    MSG message{};
    ASSERT_EQ(GetMessageW(&message, nullptr, 0, 0), 1);
    writer.join();
    EXPECT_EQ(message.message, kDataArrived);
    EXPECT_EQ(message.wParam, static_cast<WPARAM>('x'));
    EXPECT_GE(SteadyClock::now() - start, std::chrono::milliseconds(45));
}

TEST_F(WaitSourceTest, ACallbackMayRemoveItsOwnSourceAndBadRegistrationsAreRefused) {
    static platform::WaitSourceId id = 0;
    static int calls = 0;
    calls = 0;
    id = platform::AddWaitSource(pipe_[0], POLLIN, [](int, short) {
        ++calls;
        platform::RemoveWaitSource(id);
    });
    ASSERT_NE(id, 0);
    ASSERT_EQ(write(pipe_[1], "ab", 2), 2);
    EXPECT_EQ(platform::ServiceWaitSources(Milliseconds{0}), 1);
    EXPECT_EQ(platform::ServiceWaitSources(Milliseconds{0}), 0);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(platform::WaitSourceCount(), 0u);
    EXPECT_FALSE(platform::RemoveWaitSource(id)) << "already gone";
    EXPECT_EQ(platform::AddWaitSource(-1, POLLIN, [](int, short) {}), 0);
    EXPECT_EQ(platform::AddWaitSource(pipe_[0], POLLIN, nullptr), 0);
}

TEST_F(WaitSourceTest, AClosedDescriptorIsDroppedAfterOneReport) {
    int fd = dup(pipe_[0]);
    ASSERT_GE(fd, 0);
    short seen = 0;
    platform::AddWaitSource(fd, POLLIN, [&seen](int, short events) { seen = events; });
    close(fd);
    EXPECT_EQ(platform::ServiceWaitSources(Milliseconds{0}), 1);
    EXPECT_NE(seen & POLLNVAL, 0);
    EXPECT_EQ(platform::WaitSourceCount(), 0u);
}

} // namespace
