// Child processes for tests: a piece of this test in a forked copy of the
// process, and finding a program to start.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace test_support {

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

} // namespace test_support
