#include "host/setting_trace.h"

#include "platform/core/event_log.h"
#include "platform/registry/hive_format.h"
#include "platform/registry/registry.h"
#include "settings/setting_values.h"
#include "settings/settings.h"

namespace host {
namespace {

const char* currentSource = "dialog";

// What the program makes of a stored value: its own, or the default it takes
// for a value missing or not understood.
std::string Effective(const SettingEntry& setting, bool stored, DWORD type,
                      const std::vector<BYTE>* data) {
    SettingsRecord record = DefaultSettings();
    if (stored && data != nullptr && !data->empty()) {
        int verdict = TakeStoredSetting(setting, type, data->data(),
                                        static_cast<DWORD>(data->size()), &record);
        if (verdict != kValueTaken && verdict != kValueCut) {
            SetSettingDefault(setting, &record);
        }
    }
    return SettingJson(setting, record);
}

void Observe(const platform::ValueWrite& write) {
    static const std::u16string kKey = std::u16string(u"HKEY_LOCAL_MACHINE\\") + kSettingsKey;
    if (!platform::hive::NamesEqual(write.keyPath, kKey)) {
        return;
    }
    std::u16string name(write.name);
    const SettingEntry* setting = FindSetting(name.c_str());
    if (setting == nullptr) {
        return;
    }
    TraceSettingChange(*setting, Effective(*setting, write.existed, write.oldType, write.oldData),
                       Effective(*setting, true, write.newType, write.newData), currentSource);
}

} // namespace

void TraceSettingWrites() {
    platform::SetValueWriteObserver(Observe);
}

SettingSource::SettingSource(const char* source) : previous_(currentSource) {
    currentSource = source;
}

SettingSource::~SettingSource() {
    currentSource = previous_;
}

std::string SettingJson(const SettingEntry& setting, const SettingsRecord& record) {
    if (setting.kind == kTextSetting) {
        return platform::JsonString(TextField(setting, &record));
    }
    DWORD value = *NumberField(setting, &record);
    if (setting.kind == kFlagSetting) {
        return value != 0 ? "true" : "false";
    }
    return std::to_string(value);
}

void TraceSettingChange(const SettingEntry& setting, const std::string& before,
                        const std::string& after, const char* source) {
    if (before == after) {
        return;
    }
    platform::WriteEvent("setting", "\"name\":" + platform::JsonString(setting.name) +
                                        ",\"old\":" + before + ",\"new\":" + after +
                                        ",\"source\":\"" + source + "\"");
}

} // namespace host
