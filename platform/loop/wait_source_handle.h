// A wait source that is removed with its owner, so that no callback outlives the
// object it calls into.
#pragma once

#include <utility>

#include "platform/loop/wait_sources.h"

namespace platform {

class WaitSourceHandle {
  public:
    WaitSourceHandle() = default;
    ~WaitSourceHandle() { Remove(); }
    WaitSourceHandle(WaitSourceHandle&& other) noexcept
        : id_(std::exchange(other.id_, 0)), events_(other.events_) {}
    WaitSourceHandle& operator=(WaitSourceHandle&& other) noexcept {
        if (this != &other) {
            Remove();
            id_ = std::exchange(other.id_, 0);
            events_ = other.events_;
        }
        return *this;
    }
    WaitSourceHandle(const WaitSourceHandle&) = delete;
    WaitSourceHandle& operator=(const WaitSourceHandle&) = delete;

    // Waits on `fd` for `events` instead of whatever was waited on before.
    void Add(int fd, short events, WaitCallback callback) {
        Remove();
        id_ = AddWaitSource(fd, events, std::move(callback));
        events_ = events;
    }
    void Remove() {
        if (id_ != 0) {
            RemoveWaitSource(std::exchange(id_, 0));
        }
    }
    bool Added() const { return id_ != 0; }
    short Events() const { return id_ != 0 ? events_ : short{0}; }

  private:
    WaitSourceId id_ = 0;
    short events_ = 0;
};

} // namespace platform
