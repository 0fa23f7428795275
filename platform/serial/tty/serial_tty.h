// Inside the platform: a serial port that is a tty device (a UART, a USB serial
// adapter, a pseudo-terminal). The tty is opened non-blocking and made raw; every
// wait happens in poll() with the caller's deadline. Opening takes the tty for
// this program alone: TIOCEXCL keeps other programs from opening it, and an
// advisory lock (flock) on the device, which binds root too, keeps out every
// program that takes a port the same way, this one's second open included;
// closing puts back the settings the tty had and releases it. A tty that goes away while open (an
// unplugged USB adapter) is waited for and taken again when it comes back.
#pragma once

#include <memory>
#include <string>

#include "platform/serial/device/serial_device.h"

namespace platform {

// Opens the tty at `path` for the access asked (GENERIC_READ / GENERIC_WRITE),
// as the port named `port` ("COM1"). On failure returns nullptr and sets
// `error`; `reason` then says why in words, and the person at the desktop is
// told the cause with its remedy (platform/core/user_notice.h).
std::unique_ptr<SerialDevice> OpenTtyDevice(const std::string& path, const std::string& port,
                                            DWORD access, DWORD& error, std::string& reason);

} // namespace platform
