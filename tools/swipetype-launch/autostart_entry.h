// The XDG autostart entry that starts the launcher at every login of the user:
// ${XDG_CONFIG_HOME:-$HOME/.config}/autostart/swipetype-launch.desktop.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace launcher {

// The entry's path; empty when neither XDG_CONFIG_HOME nor a home folder is known.
std::string AutostartEntryPath();

// Writes the entry (replacing it atomically, mode 0644) so that it runs
// `command` (the launcher's path and its options). False with a sentence in
// `error`.
bool InstallAutostartEntry(const std::vector<std::string>& command, std::string& error);

// Removes the entry. `existed` tells whether there was one. False with a
// sentence in `error` when it exists and cannot be removed.
bool UninstallAutostartEntry(bool& existed, std::string& error);

// One argument of a desktop entry's Exec key, quoted and escaped as freedesktop.org's
// desktop entry rules ask; empty when it cannot be written (a line break).
std::string DesktopExecArgument(std::string_view argument);

} // namespace launcher
