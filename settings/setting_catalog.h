// The setting catalogue: each of the Settings once, with everything the program
// and its tools know about it. The store loads, shows, saves and resets the
// settings by these rows, in their order; the options dialog takes a plain
// flag's click by its row; the running program's answers to swipetype-config
// and swipetype-config itself (help, values, check, export and import) read
// them too.
//
// Adding a setting: its field in SettingsRecord (settings/settings.h), its row
// here, and its control in the options dialog of res/swipetype.resources (with
// its id in res/resource_ids.h), unless it has none. A flag whose click does
// more than store its check state also gets its command in app/options_dialog.cpp.
#pragma once

#include <cstddef>

#include "platform/core/types.h"
#include "res/resource_ids.h"
#include "settings/settings.h"

// The registry key of the settings, below HKEY_LOCAL_MACHINE; each setting is
// the value named as its field.
constexpr const WCHAR* kSettingsKey = u"Software\\Zelna\\Swipetype";

enum SettingKind {
    kFlagSetting,     // 0 or 1, stored as a REG_DWORD
    kTextSetting,     // up to 1023 UTF-16 units, stored as a REG_SZ; empty by default
    kIntervalSetting, // milliseconds, stored as a REG_DWORD
    kRateSetting,     // bits per second, one of the row's numbers, stored as a REG_DWORD
};

// How the options dialog shows a setting (dialog template 102).
enum SettingControlKind {
    kNotShown,
    kRadioPair,    // `id` shows on, `partner` off
    kCheckBox,     // `id`
    kEditBox,      // `id`
    kRadioOfGroup, // `id`, one radio button of a group another row also shows: checked when on
};

struct SettingControl {
    SettingControlKind kind;
    int id;
    int partner;
};

constexpr SettingControl RadioPair(int on, int off) {
    return {kRadioPair, on, off};
}
constexpr SettingControl CheckBox(int id) {
    return {kCheckBox, id, 0};
}
constexpr SettingControl EditBox(int id) {
    return {kEditBox, id, 0};
}
constexpr SettingControl RadioOfGroup(int id) {
    return {kRadioOfGroup, id, 0};
}
constexpr SettingControl kNoControl = {kNotShown, 0, 0};

constexpr DWORD kShortestInterval = 10;      // ms
constexpr DWORD kLongestInterval = 86400000; // ms, a day
constexpr DWORD kLongestText = kSettingsTextSize - 1;

struct SettingEntry {
    const WCHAR* name; // the registry value name, which is also the field's
    SettingKind kind;
    DWORD SettingsRecord::*number;                    // a flag's or an interval's field
    WCHAR (SettingsRecord::*text)[kSettingsTextSize]; // a text's field
    DWORD defaultNumber;
    DWORD lowest; // the numbers a flag or an interval may hold
    DWORD highest;
    SettingControl control;
    const char* help;             // what it means, in a few words
    const char* onWord = nullptr; // a flag's own words for on and off, beside the common ones
    const char* offWord = nullptr;
    // A text that is one of a few words: the words (matched without regard to
    // case, stored as written here), and the default, which is the first.
    const char* const* words = nullptr;
    std::size_t wordCount = 0;
    // A rate: the numbers it may hold.
    const DWORD* numbers = nullptr;
    std::size_t numberCount = 0;
};

constexpr SettingEntry Flag(const WCHAR* name, DWORD SettingsRecord::*field, DWORD defaultValue,
                            SettingControl control, const char* help, const char* onWord = nullptr,
                            const char* offWord = nullptr) {
    return {name, kFlagSetting, field, nullptr, defaultValue, 0, 1, control, help, onWord, offWord};
}
constexpr SettingEntry Text(const WCHAR* name, WCHAR (SettingsRecord::*field)[kSettingsTextSize],
                            SettingControl control, const char* help) {
    return {name, kTextSetting, nullptr, field, 0, 0, 0, control, help};
}
constexpr SettingEntry Interval(const WCHAR* name, DWORD SettingsRecord::*field, DWORD defaultValue,
                                const char* help) {
    return {name,
            kIntervalSetting,
            field,
            nullptr,
            defaultValue,
            kShortestInterval,
            kLongestInterval,
            kNoControl,
            help};
}

template <std::size_t N>
constexpr SettingEntry Word(const WCHAR* name, WCHAR (SettingsRecord::*field)[kSettingsTextSize],
                            const char* const (&words)[N], const char* help) {
    return {name, kTextSetting, nullptr, field, 0, 0,       0, kNoControl,
            help, nullptr,      nullptr, words, N, nullptr, 0};
}
template <std::size_t N>
constexpr SettingEntry Rate(const WCHAR* name, DWORD SettingsRecord::*field, DWORD defaultValue,
                            const DWORD (&rates)[N], const char* help) {
    return {name,     kRateSetting, field,      nullptr, defaultValue,
            rates[0], rates[N - 1], kNoControl, help,    nullptr,
            nullptr,  nullptr,      0,          rates,   N};
}

// The rates a line device may be set to: the standard rates serial scanners and
// terminals offer, all of which a tty takes by number.
inline constexpr DWORD kLineRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
// Data bits (7 or 8), parity (None, Even, Odd), stop bits (1 or 2); the default first.
inline constexpr const char* kLineFormats[] = {"8N1", "8N2", "8E1", "8E2", "8O1", "8O2",
                                               "7N1", "7N2", "7E1", "7E2", "7O1", "7O2"};
// What ends a line; the default first. ETX ends a frame that an STX may open.
inline constexpr const char* kLineEnds[] = {"CR", "LF", "CRLF", "ETX"};

// Every operation visits the settings in this order.
inline constexpr SettingEntry SettingCatalog[] = {
    Flag(u"Enable", &SettingsRecord::Enable, 0, RadioPair(IDC_READING_ENABLE, IDC_READING_DISABLE),
         "reading is on: the reader chosen by UseMSR runs"),
    Flag(u"UseMSR", &SettingsRecord::UseMSR, 1, RadioPair(IDC_INPUT_MSR, IDC_INPUT_RFID),
         "input type: on (msr) the magnetic stripe reader, off (rfid) the RFID reader", "msr",
         "rfid"),
    Flag(u"Beep", &SettingsRecord::Beep, 0, RadioPair(IDC_BEEP_ENABLE, IDC_BEEP_DISABLE),
         "a sound on each read, good or bad"),
    Text(u"Prefix", &SettingsRecord::Prefix, EditBox(IDC_PREFIX), "typed before the data"),
    Text(u"Suffix", &SettingsRecord::Suffix, EditBox(IDC_SUFFIX), "typed after the data"),
    Flag(u"SendTab", &SettingsRecord::SendTab, 0, CheckBox(IDC_SEND_TAB),
         "a TAB is typed after the suffix"),
    Flag(u"SendEnter", &SettingsRecord::SendEnter, 0, CheckBox(IDC_SEND_ENTER),
         "an ENTER is typed after the suffix, after the TAB"),
    Flag(u"UseTrack1", &SettingsRecord::UseTrack1, 1, CheckBox(IDC_TRACK1),
         "magnetic track 1 is typed, and must read well"),
    Flag(u"UseTrack2", &SettingsRecord::UseTrack2, 1, CheckBox(IDC_TRACK2),
         "magnetic track 2 is typed, and must read well"),
    Flag(u"UseTrack3", &SettingsRecord::UseTrack3, 1, CheckBox(IDC_TRACK3),
         "magnetic track 3 is typed (it is never checked)"),
    Text(u"TrackSeparator", &SettingsRecord::TrackSeparator, EditBox(IDC_TRACK_SEPARATOR),
         "typed between the typed tracks"),
    Flag(u"AutoStart", &SettingsRecord::AutoStart, 0,
         RadioPair(IDC_AUTOSTART_ENABLE, IDC_AUTOSTART_DISABLE),
         "the startup file exists, so the program starts at boot"),
    Interval(u"MSRInterval", &SettingsRecord::MSRInterval, 325,
             "ms between polls of the magnetic stripe reader"),
    Interval(u"RFIDInterval", &SettingsRecord::RFIDInterval, 350,
             "ms between polls of the RFID reader"),
    Flag(u"UseLine", &SettingsRecord::UseLine, 0, RadioOfGroup(IDC_INPUT_LINE),
         "input type line: a device that sends lines (a barcode scanner) instead of UseMSR's"),
    Rate(u"LineBaud", &SettingsRecord::LineBaud, 9600, kLineRates,
         "the line device's rate in bits per second"),
    Word(u"LineFormat", &SettingsRecord::LineFormat, kLineFormats,
         "the line device's data bits (7, 8), parity (N, E, O) and stop bits (1, 2)"),
    Word(u"LineEnd", &SettingsRecord::LineEnd, kLineEnds,
         "what ends a line: CR, LF, CRLF, or ETX (an opening STX is dropped)"),
};

// Every field of the record has its row: a field without one would be neither
// loaded nor saved.
constexpr std::size_t CatalogueBytes() {
    std::size_t bytes = 0;
    for (const SettingEntry& setting : SettingCatalog) {
        bytes += setting.kind == kTextSetting ? sizeof(WCHAR) * kSettingsTextSize : sizeof(DWORD);
    }
    return bytes;
}
static_assert(CatalogueBytes() == sizeof(SettingsRecord), "a Settings field has no catalogue row");

// The setting with this registry value name, compared as the registry compares
// names (letters without regard to case); null when there is none.
const SettingEntry* FindSetting(const WCHAR* name);

// The setting that the options dialog's control `id` shows; null when none.
const SettingEntry* FindSettingShownBy(int id);

// The setting's field in a record: a flag's or interval's number, or a text.
DWORD* NumberField(const SettingEntry& setting, SettingsRecord* record);
WCHAR* TextField(const SettingEntry& setting, SettingsRecord* record);
const DWORD* NumberField(const SettingEntry& setting, const SettingsRecord* record);
const WCHAR* TextField(const SettingEntry& setting, const SettingsRecord* record);

// The word among the setting's words that `text` (`length` units) is, compared
// without regard to case; -1 when it is none of them.
int FindSettingWord(const SettingEntry& setting, const WCHAR* text, std::size_t length);

// Gives the field in `record` its default.
void SetSettingDefault(const SettingEntry& setting, SettingsRecord* record);
