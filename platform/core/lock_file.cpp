#include "platform/core/lock_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            return false;
        }
        if (!LockWithin(fd, deadline)) {
            int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
        if (StillThere(fd, path)) {
            path_ = path;
            fd_ = fd;
            return true;
        }
        ::close(fd); // its holder removed it on the way out
    }
}

void LockFile::Release() {
    if (fd_ < 0) {
        return;
    }
    ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
}

} // namespace platform
