// Starting child processes for tests: a program with chosen descriptors, or a
// piece of this test in a forked copy of the process.
#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <initializer_list>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace test_support {

// A descriptor of this process that the child gets as `to`; `from` -1 gives it
// /dev/null instead.
struct ChildFd {
    int from;
    int to;
};

// Starts `path` (argv[0]) with the arguments; -1 when it cannot be started.
inline pid_t SpawnChild(const std::string& path, const std::vector<std::string>& arguments,
                        std::initializer_list<ChildFd> fds) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (ChildFd fd : fds) {
        if (fd.from < 0) {
            posix_spawn_file_actions_addopen(&actions, fd.to, "/dev/null", O_RDWR, 0);
        } else {
            posix_spawn_file_actions_adddup2(&actions, fd.from, fd.to);
        }
    }
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Runs `body` in a forked copy of this process, as user nobody when asked (root
// passes permission checks); its result is the child's exit status, -1 when it
// did not exit, 125 when it could not become nobody.
template <class Body> int RunInChild(Body body, bool asNobody = false) {
    pid_t child = ::fork();
    if (child == 0) {
        if (asNobody && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(125);
        }
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The program's path from $PATH; false when it is not installed.
inline bool FindProgram(const std::string& name, std::string& path) {
    const char* searchPath = std::getenv("PATH");
    std::string directories = searchPath != nullptr ? searchPath : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= directories.size();) {
        std::size_t end = std::min(directories.find(':', start), directories.size());
        std::string candidate = directories.substr(start, end - start) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            path = candidate;
            return true;
        }
        start = end + 1;
    }
    return false;
}

// Asks the child to end (SIGTERM) and waits for it; SIGKILL after `grace`.
inline void StopChild(pid_t pid, std::chrono::milliseconds grace = std::chrono::seconds(2)) {
    if (pid <= 0) {
        return;
    }
    ::kill(pid, SIGTERM);
    auto deadline = std::chrono::steady_clock::now() + grace;
    while (std::chrono::steady_clock::now() < deadline) {
        pid_t done = ::waitpid(pid, nullptr, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD)) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

} // namespace test_support
