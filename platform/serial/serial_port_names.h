// Which host device stands for the port "COMn:". The program's --port COMn:=PATH
// option sets a path here; otherwise the environment variable SWIPETYPE_COMn names
// it, otherwise the port remembered in the device root (platform/serial/remembered_ports.h),
// and otherwise it is /dev/ttyS<n-1>, the host's n-th built-in serial port.
#pragma once

#include <optional>
#include <string>

#include "platform/core/types.h"

namespace platform {

// Makes `path` stand for COM<number>: from now on. An empty path forgets an
// earlier choice, so the environment and the default apply again.
void SetPortPath(int number, std::string path);

// Forgets every path given with SetPortPath.
void ClearPortPaths();

// The host path for COM<number>:, by the order above. Numbers below 1 have none.
std::optional<std::string> ResolvePortPath(int number);

// The port number of a device name "COMn:" (letters in any case, the colon
// optional), or nothing when the name is not a port name or n is outside
// 1..999999.
std::optional<int> ParsePortName(LPCWSTR name);

} // namespace platform
