// The settings as a registry file: what `export` writes and `import` reads (the
// settings key in the hive text format, as the hive itself holds it), and what
// `check` finds wrong in the hive.
#pragma once

#include <string>
#include <vector>

#include "settings/setting_catalog.h"
#include "stored_settings.h"

namespace config_tool {

// The settings key with every setting's value, as a registry file.
std::string ExportText(const SettingsRecord& values);

struct ImportedSettings {
    SettingsRecord values = DefaultSettings();
    std::vector<const SettingEntry*> given; // the settings the file names, in catalogue order
};

enum class ImportVerdict { Taken, CannotRead, Refused };

// Reads a registry file ("-": standard input) holding the settings key and no
// other, and takes its values as the program would load them. Refused, with a
// line per problem (a file that does not parse, another key, an unknown name,
// a value the program cannot take as written), unless every value is good;
// CannotRead with one line when the file cannot be read.
ImportVerdict ReadSettingsFile(const std::string& file, ImportedSettings& imported,
                               std::vector<std::string>& problems);

// A line per stored value that the program cannot take as written, and per
// value whose name is no setting.
std::vector<std::string> CheckStoredKey(const StoredKey& stored);

} // namespace config_tool
