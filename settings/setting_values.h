// The one reading of a setting's value, wherever the value comes from: stored in
// the registry (where a person may have written it by hand), or given as a word
// to swipetype-config or to the running program. The store's load, the running
// program's answers and swipetype-config (get, list, check, export, import) all
// take values through here, so what `check` says of a hive is what the program
// makes of it.
//
// The rules, by the kind of setting:
//   flag      REG_DWORD 0 or 1; or text: 0, 1, or a flag word (on/off, yes/no,
//             true/false, in any case, and the row's own words: UseMSR's
//             msr/rfid)
//   interval  REG_DWORD within its limits; or text: the number in decimal, or
//             in hexadecimal after 0x, within its limits
//   rate      as an interval, and only one of the row's numbers
//   text      REG_SZ or REG_EXPAND_SZ, up to its terminator or the end of its
//             bytes; of a longer text the first 1023 units are kept (Cut); a
//             text of a few words (LineFormat, LineEnd) only one of them, in
//             any case, kept as the row writes it
// A number written as text is digits only, and must fit 32 bits. Any other
// stored type is the wrong type for the setting.
#pragma once

#include "platform/core/types.h"
#include "settings/setting_catalog.h"

enum SettingValueVerdict {
    kValueTaken,         // the field holds the value
    kValueCut,           // a text too long: the field holds its first 1023 units
    kValueWrongType,     // stored with a type the setting cannot take
    kValueNotUnderstood, // no number or flag word, a dword of the wrong size, a text with a zero
    kValueOutOfRange,    // a number outside the setting's limits
};

// The flag words besides 0 and 1; the first pair is how a flag is shown.
struct FlagWordPair {
    const char* on;
    const char* off;
};
inline constexpr FlagWordPair kFlagWords[] = {{"on", "off"}, {"yes", "no"}, {"true", "false"}};

// A value written as text (`length` units, no terminator needed) into the
// setting's field of `record`. The field changes only when the verdict is
// kValueTaken or kValueCut.
int TakeSettingText(const SettingEntry& setting, const WCHAR* text, DWORD length,
                    SettingsRecord* record);

// A stored value, its registry type and its bytes, into the setting's field of
// `record`; the field changes only when the verdict is kValueTaken or kValueCut.
// `data` is aligned for 16-bit units (a WCHAR array, or memory from the heap).
int TakeStoredSetting(const SettingEntry& setting, DWORD type, const BYTE* data, DWORD size,
                      SettingsRecord* record);
