#include "platform/core/lock_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPoll = std::chrono::milliseconds(5);

bool LockWithin(int fd, std::optional<Clock::time_point> deadline) {
    if (!deadline) {
        while (::flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                return false;
            }
        }
        return true;
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || Clock::now() >= *deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

// True when `path` still names the file open on `fd`.
bool StillThere(int fd, const std::string& path) {
    struct stat locked {};
    struct stat there {};
    return ::fstat(fd, &locked) == 0 && ::stat(path.c_str(), &there) == 0 &&
           locked.st_dev == there.st_dev && locked.st_ino == there.st_ino;
}

} // namespace

bool LockFile::Acquire(const std::string& path, std::optional<std::chrono::milliseconds> patience) {
    Release();
    std::optional<Clock::time_point> deadline;
    if (patience) {
        deadline = Clock::now() + *patience;
    }
    for (;;) {
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (!fd.Valid()) {
            failedCall_ = "open";
            return false;
        }
        if (!LockWithin(fd.Get(), deadline)) {
            failedCall_ = "flock";
            int error = errno;
            fd.Reset();
            errno = error;
            return false;
        }
        if (StillThere(fd.Get(), path)) {
            path_ = path;
            fd_ = std::move(fd);
            return true;
        }
        // Its holder removed it on the way out: the next turn opens the new one.
    }
}

void LockFile::Release() {
    if (!fd_.Valid()) {
        return;
    }
    ::unlink(path_.c_str());
    fd_.Reset();
}

} // namespace platform
