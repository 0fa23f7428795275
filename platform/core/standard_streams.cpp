#include "platform/core/standard_streams.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/output_queue.h"
#include "platform/core/unique_fd.h"

namespace platform {
namespace {

bool SameFile(int fd, int other) {
    struct stat first {};
    struct stat second {};
    return ::fstat(fd, &first) == 0 && ::fstat(other, &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino &&
           first.st_rdev == second.st_rdev;
}

// A pipe or a terminal, and not the master side of a pseudo-terminal: opening
// that again would make a new terminal rather than reach the same one.
bool WaitsForAReader(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return false;
    }
    if (S_ISFIFO(status.st_mode)) {
        return true;
    }
    unsigned int ptyNumber = 0;
    return ::isatty(fd) == 1 && ::ioctl(fd, TIOCGPTN, &ptyNumber) != 0;
}

} // namespace

void OpenClosedStandardDescriptors() {
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) {
            continue;
        }
        // The lowest free number is fd itself, as the ones below it are open.
        UniqueFd opened(::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY));
        if (opened.Get() == fd) {
            (void)opened.Release(); // it stays open for the whole run
        } else if (opened.Valid()) {
            ::dup2(opened.Get(), fd);
        }
    }
}

void MakeStandardStreamsNonBlocking() {
    for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || (flags & O_NONBLOCK) != 0 || !WaitsForAReader(fd)) {
            continue;
        }
        std::string path = "/proc/self/fd/" + std::to_string(fd);
        UniqueFd own(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (own.Valid() && SameFile(own.Get(), fd)) {
            ::dup2(own.Get(), fd);
        }
    }
}

const char* JournalPrefix(JournalPriority priority) {
    // JOURNAL_STREAM is "device:inode" of the stream the service manager
    // connected to the journal; a standard error redirected since is not it.
    static const bool journal = [] {
        const char* stream = std::getenv("JOURNAL_STREAM");
        unsigned long long device = 0;
        unsigned long long inode = 0;
        struct stat error {};
        return stream != nullptr && std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 &&
               ::fstat(STDERR_FILENO, &error) == 0 && error.st_dev == device &&
               error.st_ino == inode;
    }();
    if (!journal) {
        return "";
    }
    switch (priority) {
    case JournalPriority::Error:
        return "<3>";
    case JournalPriority::Warning:
        return "<4>";
    case JournalPriority::Info:
        break;
    }
    return "<6>";
}

void WriteErrorLine(std::string_view line, JournalPriority priority) {
    std::string whole = JournalPrefix(priority);
    whole += line;
    whole += '\n';
    (void)WriteWithoutWaiting(STDERR_FILENO, whole);
}

} // namespace platform
