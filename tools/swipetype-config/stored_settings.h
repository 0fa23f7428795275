// The settings in the device root's registry hive, for when no instance of
// Swipetype runs there. They are read straight from the hive file, without
// creating, setting aside or changing anything, so that a failed read says so
// instead of showing defaults; and they are written under the hive's lock, as
// the registry calls write, each change whole, with every other value and key
// exactly as it was.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/core/types.h"
#include "platform/registry/hive_format.h"
#include "settings/setting_catalog.h"

namespace config_tool {

// The settings key as the hive names it, with its root.
std::u16string SettingsKeyPath();

struct StoredKey {
    std::string hive;                       // the hive file's path
    bool exists = false;                    // whether the hive file exists
    std::optional<platform::hive::Key> key; // the settings key, when there is one
};

// Reads the hive. A device root or hive that does not exist yet holds no key.
// False, with one line in `error`, when the device root is no folder, or the
// hive cannot be read or does not parse.
bool ReadStoredKey(StoredKey& stored, std::string& error);

// What the program would load from the key: each setting's stored value taken
// as settings/setting_values.h says, or its default.
SettingsRecord LoadedSettings(const StoredKey& stored);

// The setting's value in `values` as the program stores it: its type and bytes.
DWORD StoredForm(const SettingEntry& setting, const SettingsRecord& values,
                 std::vector<BYTE>& bytes);

// Stores the settings with their values in `values`, as one change under the
// hive's lock. False, with one line in `error`, when the hive does not parse
// (then nothing is changed or set aside) or cannot be written.
bool StoreSettings(const std::vector<const SettingEntry*>& settings, const SettingsRecord& values,
                   std::string& error);

} // namespace config_tool
