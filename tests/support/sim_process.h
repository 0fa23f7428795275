// Runs the reader simulator (tools/swipetype-sim) as a child process for tests:
// its standard input is a pipe the test writes, its standard error a pipe the test
// reads line by line, and the device path it prints is read at start. Every wait has
// a deadline, so a broken simulator fails a test instead of hanging it.
#pragma once

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/spawn.h"

namespace test_support {

class SimProcess {
  public:
    // Starts `path` with the arguments and reads the device path it prints.
    SimProcess(const std::string& path, const std::vector<std::string>& arguments) {
        int input[2], output[2], errors[2];
        if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0 ||
            pipe2(errors, O_CLOEXEC) != 0) {
            return;
        }
        pid_ = SpawnChild(
            path, arguments,
            {{input[0], STDIN_FILENO}, {output[1], STDOUT_FILENO}, {errors[1], STDERR_FILENO}});
        close(input[0]);
        close(output[1]);
        close(errors[1]);
        stdin_ = input[1];
        stdout_ = output[0];
        stderr_ = errors[0];
        if (pid_ > 0) {
            std::optional<std::string> first =
                ReadLine(stdout_, stdoutBuffer_, std::chrono::seconds(5));
            devicePath_ = first.value_or("");
        }
    }

    ~SimProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            Wait(std::chrono::seconds(5));
            if (pid_ > 0) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
            }
        }
        for (int fd : {stdin_, stdout_, stderr_}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }

    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Started() const { return pid_ > 0 && !devicePath_.empty(); }
    const std::string& DevicePath() const { return devicePath_; }

    bool Send(const std::string& text) {
        std::size_t done = 0;
        while (done < text.size()) {
            ssize_t n = write(stdin_, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    void CloseInput() {
        close(stdin_);
        stdin_ = -1;
    }

    // The next line the simulator writes on standard error, without its line break.
    std::optional<std::string> ReadErrorLine(std::chrono::milliseconds limit) {
        return ReadLine(stderr_, stderrBuffer_, limit);
    }

    // Reads error lines until one holds `text`; false when none did within `limit`.
    bool Reports(const std::string& text,
                 std::chrono::milliseconds limit = std::chrono::seconds(3)) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            std::optional<std::string> line = ReadErrorLine(std::chrono::milliseconds(500));
            if (line && line->find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    // The exit status once the process has ended within `limit`, else nothing.
    std::optional<int> Wait(std::chrono::milliseconds limit) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (pid_ > 0) {
            int status = 0;
            pid_t done = waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                pid_ = -1;
                exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                return std::nullopt;
            }
            usleep(5000);
        }
        return exitStatus_;
    }

  private:
    static std::optional<std::string> ReadLine(int fd, std::string& buffer,
                                               std::chrono::milliseconds limit) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (auto end = buffer.find('\n'); end != std::string::npos) {
                std::string line = buffer.substr(0, end);
                buffer.erase(0, end + 1);
                return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return std::nullopt;
            }
            pollfd ready{fd, POLLIN, 0};
            if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            char bytes[512];
            ssize_t got = read(fd, bytes, sizeof bytes);
            if (got <= 0) {
                return std::nullopt;
            }
            buffer.append(bytes, static_cast<std::size_t>(got));
        }
    }

    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    int stderr_ = -1;
    std::string stdoutBuffer_;
    std::string stderrBuffer_;
    std::string devicePath_;
    std::optional<int> exitStatus_;
};

} // namespace test_support
