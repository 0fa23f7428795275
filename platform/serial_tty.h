// Inside the platform: a serial port that is a tty device (a UART, a USB serial
// adapter, a pseudo-terminal). The tty is opened non-blocking and made raw; every
// wait happens in poll() with the caller's deadline. Opening takes the tty for
// this program alone (TIOCEXCL, and a refusal of a second open here, which
// TIOCEXCL does not give to a privileged process); closing puts back the
// settings the tty had and releases it.
#pragma once

#include <memory>
#include <string>

#include "platform/serial_device.h"

namespace platform {

// Opens the tty at `path` for the access asked (GENERIC_READ / GENERIC_WRITE).
// On failure returns nullptr and sets `error`; `reason` then says why in words.
std::unique_ptr<SerialDevice> OpenTtyDevice(const std::string& path, DWORD access, DWORD& error,
                                            std::string& reason);

} // namespace platform
