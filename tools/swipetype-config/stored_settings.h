// The settings in the device root's registry hive, for when no instance of
// Swipetype runs there: read as the program would load them, and written one
// value at a time through the registry calls, each under the hive's lock, so
// that every other value and key stays exactly as it was.
#pragma once

#include <string>

#include "host/setting_catalog.h"
#include "platform/core/types.h"

namespace config_tool {

// The value the program would load: its default when missing or unreadable.
std::string StoredValue(const setting_catalog::Setting& setting);

// Stores a value given in its canonical form (setting_catalog::ParseValue).
// ERROR_SUCCESS, or the registry's error.
LONG StoreValue(const setting_catalog::Setting& setting, const std::string& value);

} // namespace config_tool
