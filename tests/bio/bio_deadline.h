// A deadline for tests of loops that end only when the code under test makes them
// end (waits, reply matching): if the test is still running when the deadline
// passes, the process is ended with a message naming the test, so a broken wait
// fails the run instead of hanging it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace biotest {

class Deadline {
  public:
    explicit Deadline(std::chrono::milliseconds limit) {
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = test != nullptr
                               ? std::string(test->test_suite_name()) + "." + test->name()
                               : std::string("a test");
        watchdog_ = std::thread([this, limit, name] {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!done_.wait_for(lock, limit, [this] { return finished_; })) {
                std::fprintf(stderr, "%s is still running after %lld ms: giving up\n", name.c_str(),
                             static_cast<long long>(limit.count()));
                std::abort();
            }
        });
    }

    ~Deadline() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        watchdog_.join();
    }

    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

  private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread watchdog_;
};

} // namespace biotest
