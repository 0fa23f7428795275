// The device root: the host folder that holds everything the device would keep
// in its own storage, the registry hives (<root>/registry) and the device file
// system (<root>/fs). It is, in this order, the folder the host was given with
// --root, the environment variable SWIPETYPE_ROOT, or
// ${XDG_DATA_HOME:-$HOME/.local/share}/swipetype.
//
// Device paths map onto host paths like this:
//   \Application\Startup\Swipetype.RUN  ->  <root>/fs/Application/Startup/Swipetype.RUN
//   Swipetype.RUN (no leading separator) ->  <root>/fs/Swipetype.RUN (no current folder)
//   /home/ann/x\y                         ->  /home/ann/x/y (a host path)
// Backslashes and slashes both separate components; empty and "." components
// are dropped; ".." goes up one component but never above <root>/fs.
#pragma once

#include <string>
#include <string_view>

#include "platform/core/types.h"

namespace platform {

// The folder given on the command line; an empty text forgets it. A relative
// folder is taken relative to the current folder at the time of the call.
void SetDeviceRoot(std::string_view folder);

// The device root in use, as an absolute host path; empty when none can be
// named (no --root, no SWIPETYPE_ROOT and no home folder).
std::string DeviceRoot();

// Creates the device root (mode 0700) with the folders of a new device
// (\Application\Startup) when they are missing. Returns false and a sentence in
// `error` when the root cannot be named or created. Safe to call repeatedly.
bool PrepareDeviceRoot(std::string& error);

// For the platform's own calls: prepares the device root and gives its path.
// The first failure for a root is reported on the debug output, later ones
// for the same root are not, so a broken root does not flood the log.
bool UsableDeviceRoot(std::string& root);

// Maps a device path to a host path (UTF-8). Results: ERROR_SUCCESS;
// ERROR_INVALID_NAME for an empty path or one with a lone surrogate;
// ERROR_ACCESS_DENIED for a path that climbs out of <root>/fs;
// ERROR_PATH_NOT_FOUND when the device root cannot be prepared.
LONG DeviceToHostPath(std::u16string_view devicePath, std::string& hostPath);

} // namespace platform
