#pragma once

#include <string>

#include "platform/core/types.h"

// A fault of the host or the device that no other code names: the file and
// serial calls report it, and an errno with no closer match maps to it.
constexpr LONG ERROR_GEN_FAILURE = 31;

namespace platform {

// The Win32 error a caller of a file or device call expects for a host errno.
// A call whose caller reads one errno differently overrides it at that call.
DWORD Win32ErrorFromErrno(int error);

// A failed system call for a message, as "call: reason" from errno, so that the
// text says which call failed ("flock: Resource temporarily unavailable").
std::string SystemError(const char* call);

} // namespace platform
