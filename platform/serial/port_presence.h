// What the program has of a serial port, for its status report: open with its
// device there, wanted but waiting for its device, or off. The host path that
// COMn: stands for is ResolvePortPath (serial_port_names.h).
#pragma once

#include <functional>

namespace platform {

enum class PortPresence {
    Off,     // not open, and not waited for
    Open,    // open, with its device there
    Waiting, // held or wanted, but the device is absent, forbidden or busy: looked for again
};

// The state of COM<number>:. Open ports are known to the serial calls; a port
// that is not open is Waiting while its owner said so with SetComPortAwaited.
PortPresence ComPortPresence(int number);

// COM<number>: could not be opened and its owner looks for its device again:
// the port is Waiting for as long as `wanted` returns true and the port is not
// open. An empty function ends that.
void SetComPortAwaited(int number, std::function<bool()> wanted);

} // namespace platform
