// The ports a start names (--port COMn:=PATH, SWIPETYPE_COMn), applied to the
// run and remembered in the device root, so that later starts on that root
// without them (the boot launcher, the autostart entry, the user unit, a second
// manual start) use the same devices.
#pragma once

#include <vector>

#include "host/options.h"

namespace host {

// Makes each mapping stand for its port in this run.
void ApplyPorts(const std::vector<PortMapping>& ports);

// Records each mapping in the device root: a USB serial device by its stable
// /dev/serial/by-id name (said in one line), any other path made absolute; an
// empty path forgets the port. Says on standard error what cannot be recorded.
void RememberPorts(const std::vector<PortMapping>& ports);

} // namespace host
