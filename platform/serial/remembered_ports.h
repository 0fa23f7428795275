// Ports remembered in a device root: which host device stands for each COMn:
// on that root when a start names none. They live in "<root>/serial-ports", a
// text file a person may edit, one mapping a line:
//
//   # Host devices standing for the serial ports of this device root.
//   COM1:=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A9B8C7-if00-port0
//
// Blank lines, lines starting with '#' and lines that are no mapping are kept
// as they are when the file is rewritten; a port named twice takes the later
// line. The file is replaced whole (temporary file, flush, rename), with the
// owner, group and mode of the file it replaces (platform/core/file_owner.h); a
// new one is readable by its owner only.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace platform {

// The file of the device root in use; empty when no root can be named.
std::string RememberedPortsFile();

// Every remembered port of the device root in use, by number.
std::map<int, std::string> RememberedPorts();

// The path remembered for COM<number>:, if any.
std::optional<std::string> RememberedPortPath(int number);

// Remembers `path` for COM<number>:, or forgets the port for an empty path.
// False with a sentence in `error` when the file cannot be written.
bool RememberPortPath(int number, const std::string& path, std::string& error);

// The name to remember a device by: its stable name where it has one (see
// below), else the path made absolute.
std::string PortPathToRemember(const std::string& path);

// The stable name of a serial device: the /dev/serial/by-id link that leads to
// the same device as `path` (a USB adapter has one, made by udev from its
// maker, model and serial number). Empty when there is none.
std::string StableSerialName(const std::string& path);

} // namespace platform
