// A deadline for a serial test: reads, writes and line reads are loops that wait,
// and a fault in one must fail the test rather than hang it. While an instance
// lives, a test that runs past the deadline ends the test program with a message.
#pragma once

#include <csignal>
#include <unistd.h>

namespace serialtest {

class TestDeadline {
  public:
    explicit TestDeadline(unsigned seconds = 10) {
        std::signal(SIGALRM, &Expired);
        alarm(seconds);
    }
    ~TestDeadline() { alarm(0); }
    TestDeadline(const TestDeadline&) = delete;
    TestDeadline& operator=(const TestDeadline&) = delete;

  private:
    static void Expired(int) {
        static const char message[] = "\nserial test ran past its deadline: a wait did not end\n";
        (void)!write(STDERR_FILENO, message, sizeof message - 1);
        _exit(1);
    }
};

} // namespace serialtest
