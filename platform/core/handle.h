// Kernel-object handles as the device hands them out. Every handle the platform
// gives (serial ports today, other kinds later) is closed the same way.
#pragma once

#include "platform/core/types.h"

// Closes a handle and releases what it stands for. Returns FALSE with
// ERROR_INVALID_HANDLE for a null, INVALID_HANDLE_VALUE or unknown handle. The
// handle is gone after the call even when releasing the object reported a fault.
BOOL CloseHandle(HANDLE handle);
