// Writing to a pipe without waiting: what it takes in several parts arrives in
// order, and what is dropped for a reader that does not read is no failure.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "platform/core/output_queue.h"

namespace {

class OutputQueueTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(pipe2(ends_, O_CLOEXEC), 0); }
    void TearDown() override {
        close(ends_[0]);
        // Forgets what was left for the pipe, so that its descriptor number starts
        // afresh in the next test.
        platform::FlushQueuedOutputs(std::chrono::milliseconds(0));
        close(ends_[1]);
    }

    std::string ReadAll() const {
        fcntl(ends_[0], F_SETFL, O_NONBLOCK);
        std::string bytes;
        char block[4096];
        for (ssize_t n = 0; (n = read(ends_[0], block, sizeof block)) > 0;) {
            bytes.append(block, static_cast<std::size_t>(n));
        }
        return bytes;
    }

    int ends_[2] = {-1, -1};
};

// A pipe is given at most PIPE_BUF bytes a write: each part goes on where the
// last one ended.
TEST_F(OutputQueueTest, AWriteOfSeveralPartsArrivesInOrder) {
    std::string bytes;
    for (int i = 0; bytes.size() < 3 * PIPE_BUF + 100; ++i) {
        bytes += std::to_string(i) + ",";
    }
    ASSERT_TRUE(platform::WriteWithoutWaiting(ends_[1], bytes));
    EXPECT_EQ(ReadAll(), bytes);
}

TEST_F(OutputQueueTest, WhatIsDroppedForAReaderThatDoesNotReadIsNoFailure) {
    int capacity = fcntl(ends_[1], F_GETPIPE_SZ);
    ASSERT_GT(capacity, 0);
    ASSERT_TRUE(platform::WriteWithoutWaiting(ends_[1], std::string(capacity, 'p')));
    ASSERT_TRUE(
        platform::WriteWithoutWaiting(ends_[1], std::string(platform::kOutputQueueLimit, 'q')));
    EXPECT_TRUE(platform::WriteWithoutWaiting(ends_[1], "begins the dropping"));
    EXPECT_TRUE(platform::WriteWithoutWaiting(ends_[1], "dropped"));
    EXPECT_EQ(ReadAll(), std::string(capacity, 'p')) << "only what the pipe took";
}

} // namespace
