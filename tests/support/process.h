// A child process for tests: its standard input, output and error on pipes (or
// its output and error on a terminal the test holds), in a process group of its
// own that gets SIGKILL when the test process dies. Stop and the destructor end
// the group, so nothing is left behind when a test fails; every wait has a
// deadline, so a child that hangs fails a test instead of hanging it.
#pragma once

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/core/unique_fd.h"
#include "support/spawn.h"

namespace test_support {

// Waits until `done` holds or the time is up; returns `done()`.
template <class Condition>
bool WaitUntil(Condition done, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

struct ChildResult {
    int status = -1; // exit status; -1 when it did not end by itself in time
    std::string out;
    std::string err;
};

// `command` with its output and error sent where `redirect` says (a shell's
// redirections), for a child whose complaints nobody reads and that must never
// fill a pipe.
inline std::vector<std::string> Quietly(std::vector<std::string> command,
                                        const std::string& redirect = ">/dev/null 2>&1") {
    command.insert(command.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" " + redirect});
    return command;
}

using platform::UniqueFd;

class Process {
  public:
    Process() = default;
    ~Process() { Stop(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts `command` (argv[0] an absolute path); a process that ended may be
    // started again. `terminal`, when given, is its output and error.
    bool Start(const std::vector<std::string>& command, int terminal = -1) {
        Stop();
        out_.clear();
        err_.clear();
        errTaken_ = 0;
        status_.reset();
        UniqueFd childIn, childOut, childErr;
        for (auto [read, write] : {std::pair{&childIn, &input_}, std::pair{&output_, &childOut},
                                   std::pair{&error_, &childErr}}) {
            int ends[2];
            if (::pipe2(ends, O_CLOEXEC) != 0) {
                return false;
            }
            read->Reset(ends[0]);
            write->Reset(ends[1]);
        }
        int out = terminal < 0 ? childOut.Get() : terminal;
        int err = terminal < 0 ? childErr.Get() : terminal;
        std::vector<char*> argv;
        argv.reserve(command.size() + 1);
        for (const std::string& argument : command) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        pid_t parent = ::getpid();
        pid_ = ::fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls between fork and exec: the test may have threads.
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) {
                ::_exit(127);
            }
            ::dup2(childIn.Get(), STDIN_FILENO);
            ::dup2(out, STDOUT_FILENO);
            ::dup2(err, STDERR_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        if (pid_ > 0) {
            ::setpgid(pid_, pid_); // also here, so that Stop never finds the group missing
        }
        ::fcntl(output_.Get(), F_SETFL, O_NONBLOCK);
        ::fcntl(error_.Get(), F_SETFL, O_NONBLOCK);
        return pid_ > 0;
    }

    pid_t Pid() const { return pid_; }
    bool Running() { return pid_ > 0 && !Wait(std::chrono::milliseconds(0)); }

    // The exit status (128 + signal when killed), nullopt when it has not ended in time.
    std::optional<int> Wait(std::chrono::milliseconds timeout) {
        WaitUntil(
            [&] {
                int status = 0;
                if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) {
                    pid_ = -1;
                    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                }
                Drain();
                return pid_ <= 0;
            },
            timeout);
        return status_;
    }

    // To the process itself (not its group).
    void Signal(int signal) const {
        if (pid_ > 0) {
            ::kill(pid_, signal);
        }
    }

    // SIGTERM to its process group and SIGKILL after `grace` (at once when it is
    // zero); waits for it.
    void Stop(std::chrono::milliseconds grace = std::chrono::seconds(2)) {
        if (pid_ > 0) {
            pid_t group = pid_;
            if (grace.count() > 0) {
                ::kill(-group, SIGTERM);
            }
            if (grace.count() == 0 || !Wait(grace)) {
                ::kill(-group, SIGKILL);
                Wait(std::chrono::seconds(5));
            }
            // What it started and left in its group (dbus-daemon's activated services).
            ::kill(-group, SIGKILL);
        }
        input_.Reset();
        CloseOutputs();
    }

    // The whole text to its standard input (a blocking pipe takes it all or
    // fails); false when it could not be written.
    bool Write(const std::string& text) const {
        return ::write(input_.Get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    void CloseInput() { input_.Reset(); }
    // What a reader of its output that went away leaves: pipes without a reader.
    void CloseOutputs() {
        output_.Reset();
        error_.Reset();
    }
    // Whether its standard output is read (by Output() and Wait()), or left to
    // fill up as a pipe nobody reads.
    void ReadOutput(bool read) { readOutput_ = read; }

    // Everything it printed so far.
    const std::string& Output() {
        Drain();
        return out_;
    }
    const std::string& Errors() {
        Drain();
        return err_;
    }
    // The next line of its standard error not taken yet, without its line break;
    // nullopt when none came within `limit` or it ended without one.
    std::optional<std::string> ReadErrorLine(std::chrono::milliseconds limit) {
        std::size_t end = std::string::npos;
        WaitUntil(
            [&] {
                end = Errors().find('\n', errTaken_);
                return end != std::string::npos || !Running();
            },
            limit);
        end = Errors().find('\n', errTaken_);
        if (end == std::string::npos) {
            return std::nullopt;
        }
        std::string line = err_.substr(errTaken_, end - errTaken_);
        errTaken_ = end + 1;
        return line;
    }

  private:
    void Drain() {
        char buffer[4096];
        for (auto [fd, into] :
             {std::pair{readOutput_ ? output_.Get() : -1, &out_}, std::pair{error_.Get(), &err_}}) {
            for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
                into->append(buffer, static_cast<std::size_t>(n));
            }
        }
    }

    pid_t pid_ = -1;
    std::optional<int> status_;
    UniqueFd input_, output_, error_;
    bool readOutput_ = true;
    std::string out_, err_;
    std::size_t errTaken_ = 0;
};

// Runs `command` to its end with its standard input closed, calling `meanwhile`
// while it runs; status -1 when it did not end within `timeout` (it is ended).
inline ChildResult Run(const std::vector<std::string>& command,
                       std::chrono::milliseconds timeout = std::chrono::seconds(10),
                       const std::function<void()>& meanwhile = {}) {
    ChildResult result;
    Process process;
    if (process.Start(command)) {
        process.CloseInput();
        WaitUntil(
            [&] {
                if (meanwhile) {
                    meanwhile();
                }
                return !process.Running();
            },
            timeout);
        result.status = process.Wait(std::chrono::milliseconds(0)).value_or(-1);
        result.out = process.Output();
        result.err = process.Errors();
    }
    return result;
}

} // namespace test_support
