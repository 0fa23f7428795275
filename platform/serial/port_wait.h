// Waiting for the device of a port that could not be opened. The serial calls
// tell an observer of every open of "COMn:" that failed; the port's owner (the
// program's host, for the reader's port) may then look for the device again with
// HoldComPortDevice and, once it is held, run again what opens the port. Looking
// again says what is wrong as an open does: once per cause.
#pragma once

#include <functional>

#include "platform/core/types.h"

namespace platform {

// True for the failures of an open that the device's owner or a person may end
// without restarting the program: the device is not there (ERROR_FILE_NOT_FOUND),
// may not be opened (ERROR_ACCESS_DENIED) or is in use (ERROR_SHARING_VIOLATION).
bool DeviceMayComeLater(DWORD error);

// Called after every CreateFileW of "COM<number>:" that failed, with its error.
using PortOpenFailed = std::function<void(int number, DWORD error)>;

// Installs the observer (an empty one removes it).
void SetPortOpenFailureObserver(PortOpenFailed observer);

// Opens the device of COM<number>: as CreateFileW would and holds it, so that
// the next CreateFileW of the port takes it instead of opening the device again.
// False when it cannot be had (said as CreateFileW says it). The port is not open.
bool HoldComPortDevice(int number);

// Lets a held device go when no open took it.
void ReleaseHeldComPortDevice(int number);

} // namespace platform
