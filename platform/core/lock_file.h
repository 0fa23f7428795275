// An exclusive lock (flock) on a file that exists only while someone holds it,
// so that no lock file outlives the program that made it. The holder removes the
// file before it lets go; a process that was waiting on the removed file finds,
// once it has the lock, that the path no longer names what it locked, and starts
// again on the file that is there now.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "platform/core/unique_fd.h"

namespace platform {

class LockFile {
  public:
    LockFile() = default;
    ~LockFile() { Release(); }
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    // Takes the lock at `path` (creating the file, mode 0600), waiting at most
    // `patience`, or as long as it takes without one. False with errno set when
    // it cannot be had (EWOULDBLOCK when the time ran out), and FailedCall() naming
    // the call that failed.
    bool Acquire(const std::string& path, std::optional<std::chrono::milliseconds> patience);

    // Removes the file and lets go. Harmless when not held.
    void Release();

    bool Held() const { return fd_.Valid(); }
    const char* FailedCall() const { return failedCall_; }

  private:
    std::string path_;
    UniqueFd fd_;
    const char* failedCall_ = "";
};

} // namespace platform
