// A deadline for a serial test: reads, writes, line reads and the waits of the
// modem layer are loops, and a fault in one must fail the test rather than hang
// it. While an instance lives, a test that runs past the deadline ends the test
// program with a message naming the test.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace serialtest {

class TestDeadline {
  public:
    explicit TestDeadline(unsigned seconds = 10) {
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        std::snprintf(Message(), kMessageSize, "\n%s.%s ran past its deadline of %u s\n",
                      test != nullptr ? test->test_suite_name() : "a serial test",
                      test != nullptr ? test->name() : "", seconds);
        std::signal(SIGALRM, &Expired);
        alarm(seconds);
    }
    ~TestDeadline() { alarm(0); }
    TestDeadline(const TestDeadline&) = delete;
    TestDeadline& operator=(const TestDeadline&) = delete;

  private:
    static constexpr std::size_t kMessageSize = 256;

    // Written before the alarm is set, so the handler only reads it.
    static char* Message() {
        static char message[kMessageSize];
        return message;
    }

    static void Expired(int) {
        const char* message = Message();
        std::size_t length = 0;
        while (message[length] != '\0') {
            ++length;
        }
        (void)!write(STDERR_FILENO, message, length);
        _exit(1);
    }
};

} // namespace serialtest
