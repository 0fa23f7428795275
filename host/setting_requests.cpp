#include "host/setting_requests.h"

#include <string>
#include <vector>

#include "app/app_handles.h"
#include "app/main_window.h"
#include "app/settings_store.h"
#include "host/setting_text.h"
#include "platform/core/unicode.h"
#include "platform/keyboard/keyboard.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"
#include "settings/setting_catalog.h"
#include "settings/settings.h"

namespace host {
namespace {

using platform::SettingAnswer;
using platform::remote::SettingAction;

HWND ControlOf(int id) {
    return GetDlgItem(OptionsDialog, id);
}

void Click(int id) {
    SendMessageW(ControlOf(id), BM_CLICK, 0, 0);
}

// The value as the program holds it now; a text is its edit box's, which the
// next read types and the next save stores.
std::string CurrentValue(const SettingEntry& setting) {
    if (setting.control.kind == kEditBox) {
        WCHAR text[kSettingsTextSize] = {};
        GetWindowTextW(ControlOf(setting.control.id), text, kSettingsTextSize);
        return platform::Utf16ToUtf8(text);
    }
    return setting_text::ValueOf(setting, Settings);
}

// Gives the setting the value it has in `wanted`, as the options dialog would:
// a text is put in its edit box, a flag is clicked, and only when it changes,
// as a person would click it (AutoStart's Disable always, as it also removes a
// startup file left behind). A value without a control (an interval) is set,
// and applies from the next start of the reader.
void Change(const SettingEntry& setting, const SettingsRecord& wanted) {
    const SettingControl& control = setting.control;
    if (control.kind == kEditBox) {
        SetWindowTextW(ControlOf(control.id), TextField(setting, &wanted));
        CheckTypedSetting(setting.name, TextField(setting, &wanted));
        return;
    }
    DWORD value = *NumberField(setting, &wanted);
    DWORD& field = *NumberField(setting, &Settings);
    if (control.kind == kNotShown) {
        field = value;
    } else if (bool on = value != 0; on != (field != 0)) {
        Click(on || control.kind == kCheckBox ? control.id : control.partner);
    } else if (!on && setting.number == &SettingsRecord::AutoStart) {
        Click(control.partner);
    }
}

SettingAnswer Refuse(const std::string& line) {
    return {false, platform::Utf8ToUtf16(line)};
}

SettingAnswer Saved(const std::string& what, const std::u16string& value) {
    if (!SaveSettings(OptionsDialog)) {
        return Refuse(what + " in use but cannot be saved");
    }
    return {true, value};
}

// "NAME=VALUE" entries separated by zero units (which no setting's value holds),
// all taken before any is applied, then saved at once: one change.
SettingAnswer SetAll(std::u16string_view entries) {
    SettingsRecord wanted = Settings;
    std::vector<const SettingEntry*> given;
    while (!entries.empty()) {
        std::u16string_view entry = entries.substr(0, entries.find(u'\0'));
        entries.remove_prefix(std::min(entries.size(), entry.size() + 1));
        std::size_t equals = entry.find(u'=');
        std::string name = platform::Utf16ToUtf8(entry.substr(0, equals));
        const SettingEntry* setting = setting_text::Find(name);
        std::string error;
        if (setting == nullptr) {
            return Refuse(setting_text::UnknownSettingLine(name));
        }
        if (equals == std::u16string_view::npos ||
            !setting_text::TakeWord(*setting, platform::Utf16ToUtf8(entry.substr(equals + 1)),
                                    wanted, error)) {
            return Refuse(error.empty() ? "no value for " + name : error);
        }
        given.push_back(setting);
    }
    for (const SettingEntry* setting : given) {
        Change(*setting, wanted);
    }
    return Saved("the settings are", platform::Utf8ToUtf16(std::to_string(given.size())));
}

} // namespace

void ChangeSetting(const SettingEntry& setting, const SettingsRecord& wanted) {
    Change(setting, wanted);
}

SettingAnswer AnswerSettingRequest(SettingAction action, std::u16string_view name,
                                   std::u16string_view value) {
    if (OptionsDialog == nullptr) {
        return Refuse("Swipetype is still starting; try again in a moment");
    }
    if (action == SettingAction::Reset) {
        SendMessageW(MainWindow, WM_COMMAND, IDM_RESET_DEFAULTS, 0);
        return Saved("the defaults are", u"");
    }
    if (action == SettingAction::Set && name.empty()) {
        return SetAll(value);
    }
    std::string settingName = platform::Utf16ToUtf8(name);
    const SettingEntry* setting = setting_text::Find(settingName);
    if (setting == nullptr) {
        return Refuse(setting_text::UnknownSettingLine(settingName));
    }
    if (action == SettingAction::Set) {
        SettingsRecord wanted = Settings;
        std::string error;
        if (!setting_text::TakeWord(*setting, platform::Utf16ToUtf8(value), wanted, error)) {
            return Refuse(error);
        }
        Change(*setting, wanted);
        return Saved(setting_text::NameOf(*setting) + " is",
                     platform::Utf8ToUtf16(CurrentValue(*setting)));
    }
    return {true, platform::Utf8ToUtf16(CurrentValue(*setting))};
}

} // namespace host
