#include "app/settings_store.h"

#include <cstdlib>

#include "app/autostart.h"
#include "app/settings.h"
#include "app/tray_icon.h"
#include "platform/registry/registry.h"
#include "platform/windowing/window.h"
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

// How much of a stored value a field got.
enum ReadOutcome { kReadWhole, kReadCut, kNotRead };

bool IsTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

int DigitValue(WCHAR c, DWORD base) {
    int value = -1;
    if (c >= u'0' && c <= u'9') {
        value = c - u'0';
    } else if (c >= u'a' && c <= u'f') {
        value = c - u'a' + 10;
    } else if (c >= u'A' && c <= u'F') {
        value = c - u'A' + 10;
    }
    return value >= 0 && static_cast<DWORD>(value) < base ? value : -1;
}

// A number written as text: decimal, or hexadecimal after "0x". The whole text
// must be the number, and it must fit 32 bits.
bool ParseNumberText(const WCHAR* text, DWORD* number) {
    DWORD base = 10;
    if (text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        base = 16;
        text += 2;
    }
    if (text[0] == u'\0') {
        return false;
    }
    DWORD value = 0;
    for (; *text != u'\0'; ++text) {
        int digit = DigitValue(*text, base);
        if (digit < 0 || value > (0xFFFFFFFFu - static_cast<DWORD>(digit)) / base) {
            return false;
        }
        value = value * base + static_cast<DWORD>(digit);
    }
    *number = value;
    return true;
}

// A number field: four bytes of any non-text type are the number; a text (a
// hand-written "UseMSR"="0") is read as the number it spells.
ReadOutcome ReadNumberField(HKEY key, const SettingField& field) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key, field.name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return kNotRead;
    }
    if (!IsTextType(type)) {
        if (size != kNumberSize) {
            return kNotRead;
        }
        return RegQueryValueExW(key, field.name, nullptr, nullptr,
                                reinterpret_cast<LPBYTE>(field.number), &size) == ERROR_SUCCESS
                   ? kReadWhole
                   : kNotRead;
    }
    WCHAR text[kSettingsTextSize] = {};
    size = kTextCapacity - sizeof(WCHAR); // room left for a terminator
    if (RegQueryValueExW(key, field.name, nullptr, nullptr, reinterpret_cast<LPBYTE>(text),
                         &size) != ERROR_SUCCESS) {
        return kNotRead;
    }
    return ParseNumberText(text, field.number) ? kReadWhole : kNotRead;
}

// Copies at most 1023 units of stored text into its field and ends it there.
// The stored bytes need not end with a terminator (a hand-written value,
// another type): the text then ends where they end. False when text was left
// out for want of room.
bool TakeText(const SettingField& field, const WCHAR* stored, DWORD bytes) {
    DWORD units = bytes / sizeof(WCHAR);
    DWORD length = 0;
    while (length < units && length < kSettingsTextSize - 1 && stored[length] != u'\0') {
        field.text[length] = stored[length];
        ++length;
    }
    field.text[length] = u'\0';
    return length == units || stored[length] == u'\0';
}

// A text too long for its field is read through a scratch buffer the size of
// the value, and its first 1023 units are kept.
ReadOutcome ReadLongText(HKEY key, const SettingField& field) {
    DWORD size = 0;
    if (RegQueryValueExW(key, field.name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        return kNotRead;
    }
    auto* scratch = static_cast<WCHAR*>(std::malloc(size));
    if (scratch == nullptr) {
        return kNotRead;
    }
    ReadOutcome outcome = kNotRead;
    if (RegQueryValueExW(key, field.name, nullptr, nullptr, reinterpret_cast<LPBYTE>(scratch),
                         &size) == ERROR_SUCCESS) {
        outcome = TakeText(field, scratch, size) ? kReadWhole : kReadCut;
    }
    std::free(scratch);
    return outcome;
}

ReadOutcome ReadTextField(HKEY key, const SettingField& field) {
    WCHAR stored[kSettingsTextSize];
    DWORD size = kTextCapacity;
    LONG status = RegQueryValueExW(key, field.name, nullptr, nullptr,
                                   reinterpret_cast<LPBYTE>(stored), &size);
    if (status == ERROR_MORE_DATA) {
        return ReadLongText(key, field);
    }
    if (status != ERROR_SUCCESS) {
        return kNotRead;
    }
    return TakeText(field, stored, size) ? kReadWhole : kReadCut;
}

ReadOutcome ReadField(HKEY key, const SettingField& field) {
    return field.number != nullptr ? ReadNumberField(key, field) : ReadTextField(key, field);
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
    HKEY key = nullptr;
    bool opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, 0, &key) == ERROR_SUCCESS;
    // Each value on its own: one that is missing or unreadable takes its own
    // default and leaves the others as stored; each field is shown once settled.
    bool allReadWhole = opened;
    for (const SettingField& field : Fields) {
        ReadOutcome outcome = opened ? ReadField(key, field) : kNotRead;
        if (outcome == kNotRead) {
            SetDefault(field);
        }
        allReadWhole = allReadWhole && outcome == kReadWhole;
        ShowField(dialog, field);
    }
    if (opened) {
        RegCloseKey(key);
    }
    // Start the reader that reading is enabled for.
    if (Settings.Enable != 0) {
        if (Settings.UseMSR != 0) {
            StartMSRReader(dialog);
        } else {
            StartRFIDReader(dialog);
        }
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
    for (const SettingField& field : Fields) {
        status = WriteField(dialog, key, field);
        if (status != ERROR_SUCCESS) {
            break;
        }
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 1 : 0;
}

int ResetSettings(HWND dialog) {
    // Reading off first, then both readers stopped.
    SetDefault(EnableField);
    ShowField(dialog, EnableField);
    StopMSRReader(dialog);
    StopRFIDReader(dialog);
    // The tray picture follows Enable, as the dialog's Disable command has it.
    RemoveTrayIcon();
    AddTrayIcon();
    // The other fields, in table order.
    for (const SettingField& field : Fields) {
        if (&field != &EnableField) {
            SetDefault(field);
            ShowField(dialog, field);
        }
    }
    // AutoStart is now 0: remove the startup file as the dialog's Disable does,
    // or the program would go on starting at boot. The file may exist with the
    // field off (a click on Enable that was never saved), so it is removed
    // whatever the field said.
    SetAutoStart(dialog, FALSE);
    return 1;
}
