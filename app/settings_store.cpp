#include "app/settings_store.h"

#include "app/autostart.h"
#include "app/settings.h"
#include "app/tray_icon.h"
#include "platform/registry.h"
#include "platform/window.h"
#include "reader/msr_reader.h"
#include "reader/rfid_reader.h"
#include "res/resource_ids.h"

namespace {

constexpr const WCHAR* kSettingsKey = u"Software\\Zelna\\Swipetype";
constexpr DWORD kNumberSize = sizeof(DWORD);
constexpr DWORD kTextCapacity = kSettingsTextSize * sizeof(WCHAR); // 2048 bytes

// One row of the Settings table: a number or a text field, its controls and
// its default. A radio pair has a partner, which shows the opposite state.
struct SettingField {
    const WCHAR* name;
    DWORD* number; // null for a text
    WCHAR* text;   // null for a number
    int control;   // 0: not shown
    int partner;   // 0: not a radio pair
    DWORD defaultNumber;
};

// Every operation visits the fields in this order.
const SettingField Fields[] = {
    {u"Enable", &Settings.Enable, nullptr, IDC_READING_ENABLE, IDC_READING_DISABLE, 0},
    {u"UseMSR", &Settings.UseMSR, nullptr, IDC_INPUT_MSR, IDC_INPUT_RFID, 1},
    {u"Beep", &Settings.Beep, nullptr, IDC_BEEP_ENABLE, IDC_BEEP_DISABLE, 0},
    {u"Prefix", nullptr, Settings.Prefix, IDC_PREFIX, 0, 0},
    {u"Suffix", nullptr, Settings.Suffix, IDC_SUFFIX, 0, 0},
    {u"SendTab", &Settings.SendTab, nullptr, IDC_SEND_TAB, 0, 0},
    {u"SendEnter", &Settings.SendEnter, nullptr, IDC_SEND_ENTER, 0, 0},
    {u"UseTrack1", &Settings.UseTrack1, nullptr, IDC_TRACK1, 0, 1},
    {u"UseTrack2", &Settings.UseTrack2, nullptr, IDC_TRACK2, 0, 1},
    {u"UseTrack3", &Settings.UseTrack3, nullptr, IDC_TRACK3, 0, 1},
    {u"TrackSeparator", nullptr, Settings.TrackSeparator, IDC_TRACK_SEPARATOR, 0, 0},
    {u"AutoStart", &Settings.AutoStart, nullptr, IDC_AUTOSTART_ENABLE, IDC_AUTOSTART_DISABLE, 0},
    {u"MSRInterval", &Settings.MSRInterval, nullptr, 0, 0, kDefaultMSRInterval},
    {u"RFIDInterval", &Settings.RFIDInterval, nullptr, 0, 0, kDefaultRFIDInterval},
};

const SettingField& EnableField = Fields[0];

DWORD TextLength(const WCHAR* text) {
    DWORD length = 0;
    while (length < kSettingsTextSize - 1 && text[length] != u'\0') {
        ++length;
    }
    return length;
}

void SetCheck(HWND dialog, int control, WPARAM state) {
    SendMessageW(GetDlgItem(dialog, control), BM_SETCHECK, state, 0);
}

void ShowField(HWND dialog, const SettingField& field) {
    if (field.control == 0) {
        return;
    }
    if (field.text != nullptr) {
        SetWindowTextW(GetDlgItem(dialog, field.control), field.text);
        return;
    }
    SetCheck(dialog, field.control, *field.number);
    if (field.partner != 0) {
        SetCheck(dialog, field.partner, *field.number == 0 ? 1 : 0);
    }
}

void SetDefault(const SettingField& field) {
    if (field.text != nullptr) {
        field.text[0] = u'\0';
    } else {
        *field.number = field.defaultNumber;
    }
}

// Queries a value straight into its field, without asking for its type.
LONG QueryField(HKEY key, const SettingField& field) {
    if (field.number != nullptr) {
        DWORD size = kNumberSize;
        return RegQueryValueExW(key, field.name, nullptr, nullptr,
                                reinterpret_cast<LPBYTE>(field.number), &size);
    }
    DWORD size = kTextCapacity;
    LONG status = RegQueryValueExW(key, field.name, nullptr, nullptr,
                                   reinterpret_cast<LPBYTE>(field.text), &size);
    if (status == ERROR_SUCCESS) {
        // The stored bytes need not end with a terminator (a 2048-byte value,
        // another type): the text ends where they end, and never past 1023.
        DWORD end = size / sizeof(WCHAR);
        field.text[end < kSettingsTextSize ? end : kSettingsTextSize - 1] = u'\0';
    }
    return status;
}

// A text is first taken from its edit box, then stored with its terminator.
LONG WriteField(HWND dialog, HKEY key, const SettingField& field) {
    if (field.number != nullptr) {
        return RegSetValueExW(key, field.name, 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(field.number), kNumberSize);
    }
    GetWindowTextW(GetDlgItem(dialog, field.control), field.text, kSettingsTextSize);
    DWORD bytes = (TextLength(field.text) + 1) * sizeof(WCHAR);
    return RegSetValueExW(key, field.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(field.text),
                          bytes);
}

} // namespace

int LoadSettings(HWND dialog) {
    // 1.
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, 0, &key);
    bool opened = status == ERROR_SUCCESS;
    // 2 and 3: the first failure gives every later field its default.
    for (const SettingField& field : Fields) {
        if (status == ERROR_SUCCESS) {
            status = QueryField(key, field);
        } else {
            SetDefault(field);
        }
        ShowField(dialog, field);
    }
    // 4.
    if (opened) {
        RegCloseKey(key);
    }
    // 5.
    if (Settings.Enable != 0) {
        if (Settings.UseMSR != 0) {
            StartMSRReader(dialog);
        } else {
            StartRFIDReader(dialog);
        }
    }
    // 6.
    return status == ERROR_SUCCESS ? 1 : 0;
}

int SaveSettings(HWND dialog) {
    // 1.
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, 0, nullptr, &key,
                        &disposition) != ERROR_SUCCESS) {
        return 0;
    }
    // 2 and 3: the first failing write ends the save.
    LONG status = ERROR_SUCCESS;
    for (const SettingField& field : Fields) {
        status = WriteField(dialog, key, field);
        if (status != ERROR_SUCCESS) {
            break;
        }
    }
    // 4.
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 1 : 0;
}

int ResetSettings(HWND dialog) {
    // 1.
    SetDefault(EnableField);
    ShowField(dialog, EnableField);
    // 2.
    StopMSRReader(dialog);
    StopRFIDReader(dialog);
    // The tray picture follows Enable, as the dialog's Disable command has it.
    RemoveTrayIcon();
    AddTrayIcon();
    // 3 to 10, in table order.
    DWORD autoStartWasOn = Settings.AutoStart;
    for (const SettingField& field : Fields) {
        if (&field != &EnableField) {
            SetDefault(field);
            ShowField(dialog, field);
        }
    }
    // AutoStart is now 0: remove the startup file as the dialog's Disable does,
    // or the program would go on starting at boot.
    if (autoStartWasOn != 0) {
        SetAutoStart(dialog, FALSE);
    }
    // 11.
    return 1;
}
