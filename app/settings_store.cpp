#include "app/settings_store.h"

#include <cstdlib>

#include "app/autostart.h"
#include "app/tray_icon.h"
#include "platform/keyboard/keyboard.h"
#include "platform/registry/registry.h"
#include "platform/windowing/window.h"
#include "reader/line_reader.h"
#include "reader/msr_reader.h"
#include "reader/rfid_reader.h"
#include "settings/setting_catalog.h"
#include "settings/setting_values.h"
#include "settings/settings.h"

namespace {

// A value that is missing, or cannot be queried, beside the verdicts of
// TakeStoredSetting.
constexpr int kNotRead = -1;

// A stored value is read here when it fits (any value a save writes does).
WCHAR ValueBuffer[kSettingsTextSize];

DWORD TextLength(const WCHAR* text) {
    DWORD length = 0;
    while (length < kLongestText && text[length] != u'\0') {
        ++length;
    }
    return length;
}

void SetCheck(HWND dialog, int control, WPARAM state) {
    SendMessageW(GetDlgItem(dialog, control), BM_SETCHECK, state, 0);
}

// The input type's radio buttons show UseLine when it is on, else UseMSR.
void ShowInputType(HWND dialog) {
    const SettingEntry& useMSR = *FindSetting(u"UseMSR");
    DWORD line = Settings.UseLine != 0 ? 1 : 0;
    DWORD msr = Settings.UseMSR != 0 ? 1 : 0;
    SetCheck(dialog, FindSetting(u"UseLine")->control.id, line);
    SetCheck(dialog, useMSR.control.id, line == 0 && msr != 0 ? 1 : 0);
    SetCheck(dialog, useMSR.control.partner, line == 0 && msr == 0 ? 1 : 0);
}

// Radio pair: the first button gets the field's state, the second the
// opposite; check box: the field's state; edit box: the text.
void ShowSetting(HWND dialog, const SettingEntry& setting) {
    const SettingControl& control = setting.control;
    if (control.kind == kRadioOfGroup || &setting == FindSetting(u"UseMSR")) {
        ShowInputType(dialog);
    } else if (control.kind == kEditBox) {
        SetWindowTextW(GetDlgItem(dialog, control.id), TextField(setting, &Settings));
    } else if (control.kind != kNotShown) {
        DWORD state = *NumberField(setting, &Settings);
        SetCheck(dialog, control.id, state);
        if (control.kind == kRadioPair) {
            SetCheck(dialog, control.partner, state == 0 ? 1 : 0);
        }
    }
}

void ResetSetting(HWND dialog, const SettingEntry& setting) {
    SetSettingDefault(setting, &Settings);
    ShowSetting(dialog, setting);
}

// Queries the value into the buffer, or into memory of its size when it is
// larger (a text longer than its field, of which the first 1023 units are
// kept), and takes it into its field as the catalogue's rules say.
int ReadSetting(HKEY key, const SettingEntry& setting) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key, setting.name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return kNotRead;
    }
    BYTE* data = reinterpret_cast<BYTE*>(ValueBuffer);
    if (size > sizeof ValueBuffer) {
        data = static_cast<BYTE*>(std::malloc(size));
        if (data == nullptr) {
            return kNotRead;
        }
    }
    int verdict = kNotRead;
    if (RegQueryValueExW(key, setting.name, nullptr, &type, data, &size) == ERROR_SUCCESS) {
        verdict = TakeStoredSetting(setting, type, data, size, &Settings);
    }
    if (data != reinterpret_cast<BYTE*>(ValueBuffer)) {
        std::free(data);
    }
    return verdict;
}

// A text is first taken from its edit box, if it has one, then stored with its
// terminator.
LONG WriteSetting(HWND dialog, HKEY key, const SettingEntry& setting) {
    if (setting.kind != kTextSetting) {
        return RegSetValueExW(key, setting.name, 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(NumberField(setting, &Settings)),
                              sizeof(DWORD));
    }
    WCHAR* text = TextField(setting, &Settings);
    if (setting.control.kind == kEditBox) {
        GetWindowTextW(GetDlgItem(dialog, setting.control.id), text, kSettingsTextSize);
    }
    DWORD bytes = (TextLength(text) + 1) * sizeof(WCHAR);
    return RegSetValueExW(key, setting.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}

} // namespace

int LoadSettings(HWND dialog) {
    HKEY key = nullptr;
    bool opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, 0, &key) == ERROR_SUCCESS;
    // Each value on its own: one that is missing or unreadable takes its own
    // default and leaves the others as stored; each field is shown once settled.
    bool allReadWhole = opened;
    for (const SettingEntry& setting : SettingCatalog) {
        int verdict = opened ? ReadSetting(key, setting) : kNotRead;
        if (verdict != kValueTaken && verdict != kValueCut) {
            SetSettingDefault(setting, &Settings);
        }
        allReadWhole = allReadWhole && verdict == kValueTaken;
        ShowSetting(dialog, setting);
    }
    if (opened) {
        RegCloseKey(key);
    }
    // Every text setting is typed with each read: one the key sink cannot type
    // is said now, not first at a swipe.
    for (const SettingEntry& setting : SettingCatalog) {
        if (setting.text != nullptr) {
            CheckTypedSetting(setting.name, Settings.*setting.text);
        }
    }
    // Start the reader that reading is enabled for.
    if (Settings.Enable != 0) {
        StartChosenReader(dialog);
    }
    return allReadWhole ? 1 : 0;
}

int SaveSettings(HWND dialog) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, 0, nullptr, &key,
                        &disposition) != ERROR_SUCCESS) {
        return 0;
    }
    // In table order; the first failing write ends the save.
    LONG status = ERROR_SUCCESS;
    for (const SettingEntry& setting : SettingCatalog) {
        status = WriteSetting(dialog, key, setting);
        if (status != ERROR_SUCCESS) {
            break;
        }
    }
    // The values reach the disk when the key is closed: that may fail too.
    LONG closed = RegCloseKey(key);
    return status == ERROR_SUCCESS && closed == ERROR_SUCCESS ? 1 : 0;
}

int ResetSettings(HWND dialog) {
    // Reading off first, then both readers stopped.
    const SettingEntry& enable = *FindSetting(u"Enable");
    ResetSetting(dialog, enable);
    StopMSRReader(dialog);
    StopRFIDReader(dialog);
    StopLineReader(dialog);
    // The tray picture follows Enable, as the dialog's Disable command has it.
    RemoveTrayIcon();
    AddTrayIcon();
    // The other fields, in table order.
    for (const SettingEntry& setting : SettingCatalog) {
        if (&setting != &enable) {
            ResetSetting(dialog, setting);
        }
    }
    // AutoStart is now 0: remove the startup file as the dialog's Disable does,
    // or the program would go on starting at boot. The file may exist with the
    // field off (a click on Enable that was never saved), so it is removed
    // whatever the field said.
    SetAutoStart(dialog, FALSE);
    return 1;
}
