// swipetype-config status [--json]: whether a program runs on the device root,
// and if so its pid, its reader's port, device and state, its key sink and its
// reads since it started.
#pragma once

namespace config_tool {

// Prints the status; 0 when a program runs and its reader is open, 3 when none
// runs on the root, 4 when one runs but its reader is not open, 1 when one runs
// that cannot be asked.
int ShowStatus(bool json);

} // namespace config_tool
