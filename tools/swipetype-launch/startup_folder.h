// Where the startup files lie: the folder that the registry names, found the way
// the program finds it when it writes its own startup file.
#pragma once

#include <string>
#include <vector>

namespace launcher {

// The HKEY_CURRENT_USER "Software\Zelna\Startup" value "Path" (read with the
// program's limit of 260 bytes), else "\Application\Startup". A device path.
std::u16string StartupFolder();

// The names of the *.RUN files in a host folder (".RUN" in any case, as the
// device's file names are), sorted. False with a sentence in `error` when the
// folder cannot be read.
bool ListStartupFiles(const std::string& hostFolder, std::vector<std::string>& names,
                      std::string& error);

} // namespace launcher
