#include "host/setting_requests.h"

#include <string>

#include "app/app_handles.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "app/settings_store.h"
#include "host/setting_catalog.h"
#include "platform/core/unicode.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"
#include "res/resource_ids.h"

namespace host {
namespace {

using platform::SettingAnswer;
using platform::remote::SettingAction;
using setting_catalog::Kind;

// Where a setting lives in the program: its field, and the controls that
// change it as a click would (a radio pair's two buttons, or one check box),
// or the edit box a text is taken from.
struct SettingPlace {
    const char* name;
    DWORD* field; // null for a text
    int onControl;
    int offControl; // 0 for a check box: a click toggles it
};

const SettingPlace kPlaces[] = {
    {"Enable", &Settings.Enable, IDC_READING_ENABLE, IDC_READING_DISABLE},
    {"UseMSR", &Settings.UseMSR, IDC_INPUT_MSR, IDC_INPUT_RFID},
    {"Beep", &Settings.Beep, IDC_BEEP_ENABLE, IDC_BEEP_DISABLE},
    {"Prefix", nullptr, IDC_PREFIX, 0},
    {"Suffix", nullptr, IDC_SUFFIX, 0},
    {"SendTab", &Settings.SendTab, IDC_SEND_TAB, 0},
    {"SendEnter", &Settings.SendEnter, IDC_SEND_ENTER, 0},
    {"UseTrack1", &Settings.UseTrack1, IDC_TRACK1, 0},
    {"UseTrack2", &Settings.UseTrack2, IDC_TRACK2, 0},
    {"UseTrack3", &Settings.UseTrack3, IDC_TRACK3, 0},
    {"TrackSeparator", nullptr, IDC_TRACK_SEPARATOR, 0},
    {"AutoStart", &Settings.AutoStart, IDC_AUTOSTART_ENABLE, IDC_AUTOSTART_DISABLE},
    {"MSRInterval", &Settings.MSRInterval, 0, 0},
    {"RFIDInterval", &Settings.RFIDInterval, 0, 0},
};

const SettingPlace* PlaceOf(const setting_catalog::Setting& setting) {
    for (const SettingPlace& place : kPlaces) {
        if (std::string_view(place.name) == setting.name) {
            return &place;
        }
    }
    return nullptr;
}

void Click(int control) {
    SendMessageW(GetDlgItem(OptionsDialog, control), BM_CLICK, 0, 0);
}

// The value as the program holds it now; a text is its edit box's, which the
// next read types and the next save stores.
std::string CurrentValue(const setting_catalog::Setting& setting, const SettingPlace& place) {
    if (setting.kind == Kind::Text) {
        WCHAR text[kSettingsTextSize] = {};
        GetWindowTextW(GetDlgItem(OptionsDialog, place.onControl), text, kSettingsTextSize);
        return platform::Utf16ToUtf8(text);
    }
    return setting.kind == Kind::Flag ? setting_catalog::FormatFlag(*place.field)
                                      : setting_catalog::FormatNumber(*place.field);
}

// A flag is clicked only when it changes, as a person would; AutoStart's
// Disable is clicked always, as it also removes a startup file left behind.
void Change(const setting_catalog::Setting& setting, const SettingPlace& place,
            const std::string& value) {
    if (setting.kind == Kind::Text) {
        SetWindowTextW(GetDlgItem(OptionsDialog, place.onControl),
                       platform::Utf8ToUtf16(value).c_str());
    } else if (setting.kind == Kind::Interval) {
        *place.field = static_cast<DWORD>(std::stoul(value)); // from the next reader start
    } else if (bool on = value == "on"; on != (*place.field != 0)) {
        Click(on || place.offControl == 0 ? place.onControl : place.offControl);
    } else if (!on && place.field == &Settings.AutoStart) {
        Click(place.offControl);
    }
}

SettingAnswer Refuse(const std::string& line) {
    return {false, platform::Utf8ToUtf16(line)};
}

} // namespace

bool ApplySetting(std::string_view name, std::string_view value, std::string& error) {
    const setting_catalog::Setting* setting = setting_catalog::FindSetting(name);
    const SettingPlace* place = setting != nullptr ? PlaceOf(*setting) : nullptr;
    if (place == nullptr) {
        error = setting_catalog::UnknownSettingLine(name);
        return false;
    }
    std::optional<std::string> parsed = setting_catalog::ParseValue(*setting, value, error);
    if (parsed) {
        Change(*setting, *place, *parsed);
    }
    return parsed.has_value();
}

SettingAnswer AnswerSettingRequest(SettingAction action, std::u16string_view name,
                                   std::u16string_view value) {
    if (OptionsDialog == nullptr) {
        return Refuse("Swipetype is still starting; try again in a moment");
    }
    if (action == SettingAction::Reset) {
        SendMessageW(MainWindow, WM_COMMAND, IDM_RESET_DEFAULTS, 0);
        return SaveSettings(OptionsDialog) ? SettingAnswer{true, u""}
                                           : Refuse("the defaults are in use but cannot be saved");
    }
    std::string settingName = platform::Utf16ToUtf8(name);
    const setting_catalog::Setting* setting = setting_catalog::FindSetting(settingName);
    const SettingPlace* place = setting != nullptr ? PlaceOf(*setting) : nullptr;
    if (place == nullptr) {
        return Refuse(setting_catalog::UnknownSettingLine(settingName));
    }
    if (action == SettingAction::Set) {
        if (std::string error; !ApplySetting(settingName, platform::Utf16ToUtf8(value), error)) {
            return Refuse(error);
        }
        if (!SaveSettings(OptionsDialog)) {
            return Refuse(std::string(setting->name) + " is in use but cannot be saved");
        }
    }
    return {true, platform::Utf8ToUtf16(CurrentValue(*setting, *place))};
}

} // namespace host
