// Inside the platform: the registry behind HANDLE values. Each open object (a
// serial port, later other kinds) registers itself and gets a handle; CloseHandle
// finds the object, asks it to release what it holds and forgets the handle.
// Handle values are never 0 or INVALID_HANDLE_VALUE and are not reused while the
// program runs, so a stale handle names nothing instead of someone else's object.
#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include "platform/core/types.h"

namespace platform {

// How a wait on handles (MsgWaitForMultipleObjectsEx) learns of an object's
// input: whether it waits now, the descriptor that turns readable when it arrives
// (-1: none), and when it is due on an object whose arrivals are scheduled (the
// in-memory serial device, on the platform's clock).
struct InputWatch {
    bool waiting = false;
    int descriptor = -1;
    std::optional<std::chrono::microseconds> nextArrival;
};

class HandleObject {
  public:
    virtual ~HandleObject() = default;
    // An object that never has input (the default) keeps a wait on it waiting.
    virtual InputWatch WatchInput() { return {}; }
    // Releases the object's resources. Returns false, with the last error set,
    // when releasing reported a fault (the handle is forgotten all the same).
    virtual bool Close() = 0;
};

HANDLE AddHandle(std::unique_ptr<HandleObject> object);

// The object behind a handle, or nullptr for an unknown or closed handle.
HandleObject* FindHandle(HANDLE handle);

// The object behind a handle when it is of the asked kind, else nullptr.
template <typename Kind> Kind* FindHandleOf(HANDLE handle) {
    return dynamic_cast<Kind*>(FindHandle(handle));
}

// Number of open handles, for tests that check nothing was left open.
std::size_t OpenHandleCount();

} // namespace platform
