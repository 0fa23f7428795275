#include "settings/settings.h"

#include "settings/setting_catalog.h"

SettingsRecord DefaultSettings() {
    SettingsRecord defaults{};
    for (const SettingEntry& setting : SettingCatalog) {
        SetSettingDefault(setting, &defaults);
    }
    return defaults;
}

SettingsRecord Settings = DefaultSettings();
