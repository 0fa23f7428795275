// Inside the platform: the registry behind HANDLE values. Each open object (a
// serial port, later other kinds) registers itself and gets a handle; CloseHandle
// finds the object, asks it to release what it holds and forgets the handle.
// Handle values are never 0 or INVALID_HANDLE_VALUE and are not reused while the
// program runs, so a stale handle names nothing instead of someone else's object.
#pragma once

#include <memory>

#include "platform/types.h"

namespace platform {

class HandleObject {
  public:
    virtual ~HandleObject() = default;
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
