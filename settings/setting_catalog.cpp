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

int FindSettingWord(const SettingEntry& setting, const WCHAR* text, std::size_t length) {
    for (std::size_t w = 0; w < setting.wordCount; ++w) {
        const char* word = setting.words[w];
        std::size_t i = 0;
        while (i < length && word[i] != '\0' && FoldCase(text[i]) == FoldCase(WCHAR(word[i]))) {
            ++i;
        }
        if (i == length && word[i] == '\0') {
            return static_cast<int>(w);
        }
    }
    return -1;
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
        WCHAR* field = TextField(setting, record);
        const char* text = setting.wordCount > 0 ? setting.words[0] : "";
        std::size_t i = 0;
        for (; text[i] != '\0'; ++i) {
            field[i] = static_cast<WCHAR>(text[i]);
        }
        field[i] = u'\0';
    } else {
        *NumberField(setting, record) = setting.defaultNumber;
    }
}
