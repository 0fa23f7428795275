// The owner of one file descriptor: closed when the owner goes, handed on by
// moving. The descriptor is never closed by hand anywhere else.
#pragma once

#include <unistd.h>
#include <utility>

namespace platform {

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    // Gives the descriptor up without closing it.
    int Release() { return std::exchange(fd_, -1); }
    // Closes the descriptor now and tells whether close() succeeded (errno kept when
    // not): a file written through it is only written when its close succeeds.
    bool Close() { return ::close(Release()) == 0; }
    // Closes the descriptor held, if any, and holds `fd` instead.
    void Reset(int fd = -1) {
        int previous = std::exchange(fd_, fd);
        if (previous >= 0) {
            ::close(previous);
        }
    }

  private:
    int fd_ = -1;
};

} // namespace platform
