#pragma once

#include "platform/core/types.h"

namespace platform {

// The Win32 error a caller of a file or device call expects for a host errno.
// A call whose caller reads one errno differently overrides it at that call.
DWORD Win32ErrorFromErrno(int error);

} // namespace platform
