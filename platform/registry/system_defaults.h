// The machine's own defaults for the settings: /etc/swipetype/defaults.reg, or
// the file SWIPETYPE_DEFAULTS names, in the hive text format (hive_format.h).
// A value that a user's hive does not hold is taken from it before the
// program's built-in default, so every till user of a machine starts from
// what its administrator chose. The file is optional; one that cannot be read
// or does not parse is said once on the debug output and not used.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/core/types.h"

namespace platform {

// The path of the defaults file in use.
std::string SystemDefaultsPath();

// The value `name` of the key `keyPath` (with its root, as
// "HKEY_LOCAL_MACHINE\Software\...") in the defaults file; false when the file
// or the value is not there. The file is read at the first call.
bool SystemDefaultValue(std::u16string_view keyPath, std::u16string_view name, DWORD& type,
                        std::vector<BYTE>& data);

} // namespace platform
