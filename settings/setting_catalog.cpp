#include "settings/setting_catalog.h"

#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/registry/system_defaults.h"
#include "settings/setting_values.h"

namespace {

WCHAR FoldCase(WCHAR c) {
    return c >= u'a' && c <= u'z' ? static_cast<WCHAR>(c - u'a' + u'A') : c;
}

bool SameName(const WCHAR* left, const WCHAR* right) {
    for (; *left != u'\0' && FoldCase(*left) == FoldCase(*right); ++left, ++right) {
    }
    return FoldCase(*left) == FoldCase(*right);
}

} // namespace

const SettingEntry* FindSetting(const WCHAR* name) {
    for (const SettingEntry& setting : SettingCatalog) {
        if (SameName(setting.name, name)) {
            return &setting;
        }
    }
    return nullptr;
}

const SettingEntry* FindSettingShownBy(int id) {
    for (const SettingEntry& setting : SettingCatalog) {
        if (id != 0 && setting.control.kind != kNotShown &&
            (setting.control.id == id || setting.control.partner == id)) {
            return &setting;
        }
    }
    return nullptr;
}

DWORD* NumberField(const SettingEntry& setting, SettingsRecord* record) {
    return &(record->*setting.number);
}

WCHAR* TextField(const SettingEntry& setting, SettingsRecord* record) {
    return record->*setting.text;
}

const DWORD* NumberField(const SettingEntry& setting, const SettingsRecord* record) {
    return &(record->*setting.number);
}

const WCHAR* TextField(const SettingEntry& setting, const SettingsRecord* record) {
    return record->*setting.text;
}

void SetSettingDefault(const SettingEntry& setting, SettingsRecord* record) {
    // The machine's own default first, when it has a good one.
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (platform::SystemDefaultValue(std::u16string(u"HKEY_LOCAL_MACHINE\\") + kSettingsKey,
                                     setting.name, type, data) &&
        !data.empty()) {
        int verdict =
            TakeStoredSetting(setting, type, data.data(), static_cast<DWORD>(data.size()), record);
        if (verdict == kValueTaken || verdict == kValueCut) {
            return;
        }
    }
    if (setting.kind == kTextSetting) {
        TextField(setting, record)[0] = u'\0';
    } else {
        *NumberField(setting, record) = setting.defaultNumber;
    }
}
