#pragma once

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/core/types.h"

// A fault of the host or the device that no other code names: the file and
// serial calls report it, and an errno with no closer match maps to it.
constexpr LONG ERROR_GEN_FAILURE = 31;

namespace platform {

// The Win32 error a caller of a file or device call expects for a host errno.
// A call whose caller reads one errno differently overrides it at that call.
DWORD Win32ErrorFromErrno(int error);

// The reason an errno gives, as a person reads it ("Permission denied"): the one
// place that asks the C library for it. Inline, so that the key sink modules,
// which link no platform library, share it too.
inline std::string ErrorText(int error = errno) {
    return std::strerror(error);
}

// What failed and why, as "what: reason": a call's name says which call failed
// ("flock: Resource temporarily unavailable"), a phrase what could not be done
// ("cannot open /dev/ttyS0: No such file or directory").
inline std::string SystemError(std::string_view what, int error = errno) {
    std::string reason = ErrorText(error);
    return std::string(what) + ": " + reason;
}

} // namespace platform
