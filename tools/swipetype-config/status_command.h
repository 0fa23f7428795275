// swipetype-config status [--json]: whether a program runs on the device root,
// and if so its pid, its reader's port, device and state, its key sink and its
// reads since it started.
#pragma once

#include <string>
#include <vector>

#include "config_command.h"

namespace config_tool {

// The words of "status [--json]"; an error line, or empty when they are good.
std::string ParseStatusWords(const std::vector<std::string>& words, Command& command);

// Prints the status; 0 when a program runs and its reader is open, 3 when none
// runs on the root, 4 when one runs but its reader is not open, 1 when one runs
// that cannot be asked.
int ShowStatus(bool json);

} // namespace config_tool
