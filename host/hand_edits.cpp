#include "host/hand_edits.h"

#include <vector>

#include "app/app_handles.h"
#include "host/setting_requests.h"
#include "host/setting_text.h"
#include "host/setting_trace.h"
#include "platform/core/system.h"
#include "platform/core/unicode.h"
#include "platform/registry/hive_watch.h"
#include "platform/registry/registry.h"
#include "settings/setting_catalog.h"
#include "settings/setting_values.h"
#include "settings/settings.h"

namespace host {
namespace {

void Say(const std::string& line) {
    NKDbgPrintfW(u"%s", platform::Utf8ToUtf16(line).c_str());
}

// Each changed value is read as the settings' load reads a stored value (so
// `check` judges it alike), then given to the program as a `set` of it would be.
void TakeChanged(const std::vector<platform::ChangedValue>& changed) {
    // Before the options dialog exists the settings are yet to be loaded, from
    // the hive as it is then.
    if (OptionsDialog == nullptr) {
        return;
    }
    for (const platform::ChangedValue& value : changed) {
        std::string name = platform::Utf16ToUtf8(value.name);
        const SettingEntry* setting = setting_text::Find(name);
        if (setting == nullptr) {
            Say(name + " changed on disk is not taken: " + setting_text::UnknownSettingLine(name));
            continue;
        }
        SettingsRecord wanted = Settings;
        int verdict = TakeStoredSetting(*setting, value.type, value.data.data(),
                                        static_cast<DWORD>(value.data.size()), &wanted);
        if (verdict != kValueTaken && verdict != kValueCut) {
            Say(setting_text::NameOf(*setting) + " changed on disk is not taken: " +
                setting_text::Problem(*setting, verdict) + "; Swipetype keeps the value it has");
            continue;
        }
        // A value the program holds already is no change (the program's own
        // rewrite of a damaged hive, or an edit back and forth).
        std::string before = CurrentSettingJson(*setting);
        if (before == SettingJson(*setting, wanted)) {
            continue;
        }
        ChangeSetting(*setting, wanted);
        TraceSettingChange(*setting, before, CurrentSettingJson(*setting), "hand edit");
        std::string shown = setting_text::NameOf(*setting) + " = " +
                            setting_text::Shown(*setting, wanted) +
                            ", taken from the hive changed on disk";
        if (verdict == kValueCut) {
            shown += " (" + setting_text::Problem(*setting, verdict) + ", " +
                     setting_text::Consequence(*setting, verdict) + ")";
        }
        Say(shown);
    }
}

} // namespace

bool TakeHandEdits(std::string& error) {
    return platform::WatchRegistryKey(HKEY_LOCAL_MACHINE, kSettingsKey, TakeChanged, error);
}

void TakeHandEditsNow() {
    platform::TakeRegistryChanges();
}

void StopTakingHandEdits() {
    platform::StopWatchingRegistry();
}

} // namespace host
