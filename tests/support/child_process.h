// Runs a program to completion for a test while this process keeps serving its
// message loop (so the program can talk to windows of this process), collecting
// its exit status and output. A deadline ends a run that hangs.
#pragma once

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/windowing/message_loop.h"
#include "support/spawn.h"

namespace test_support {

struct ChildResult {
    int status = -1; // exit status; -1 when it did not end by itself in time
    std::string out;
    std::string err;
};

inline void Drain(int fd, std::string& into) {
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        into.append(buffer, static_cast<std::size_t>(n));
    }
}

inline ChildResult RunServingLoop(const std::string& path,
                                  const std::vector<std::string>& arguments,
                                  std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    ChildResult result;
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC | O_NONBLOCK) != 0 || ::pipe2(err, O_CLOEXEC | O_NONBLOCK) != 0) {
        return result;
    }
    pid_t pid = SpawnChild(path, arguments, {{out[1], STDOUT_FILENO}, {err[1], STDERR_FILENO}});
    ::close(out[1]);
    ::close(err[1]);
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (pid > 0) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        platform::ServiceWaitSources(std::chrono::milliseconds(5));
        platform::PumpMessages();
        Drain(out[0], result.out);
        Drain(err[0], result.err);
    }
    Drain(out[0], result.out);
    Drain(err[0], result.err);
    ::close(out[0]);
    ::close(err[0]);
    return result;
}

} // namespace test_support
