#pragma once

#include <string>

#include "platform/core/types.h"

namespace platform {

// The Win32 error a caller of a file or device call expects for a host errno.
// A call whose caller reads one errno differently overrides it at that call.
DWORD Win32ErrorFromErrno(int error);

// A failed system call for a message, as "call: reason" from errno, so that the
// text says which call failed ("flock: Resource temporarily unavailable").
std::string SystemError(const char* call);

} // namespace platform
