// The settings as a person writes and reads them on a command line: names in
// UTF-8, values as words ("on", "325", a text), and the lines that say what is
// wrong. It renders the setting catalogue (settings/setting_catalog.h) and takes
// values through its one reading (settings/setting_values.h); swipetype-config
// and the running program's answers to it both use it, so that they accept and
// show exactly the same values.
#pragma once

#include <string>
#include <string_view>

#include "settings/setting_catalog.h"

namespace setting_text {

// The registry value name.
std::string NameOf(const SettingEntry& setting);

// The setting with this name, letters compared without regard to case (as the
// registry compares names); null when there is none.
const SettingEntry* Find(std::string_view name);

// The setting whose name is at most two letters from `name` (the closest), for
// a name that looks misspelt; null when none is that close.
const SettingEntry* Closest(std::string_view name);

// One line for a name that is no setting: the closest setting where the name
// looks misspelt, and the settings there are.
std::string UnknownSettingLine(std::string_view name);

// What a setting takes, for --help and error lines: "on, off, yes, no, true,
// false, 1 or 0", "milliseconds from 10 to 86400000", ...
std::string Allowed(const SettingEntry& setting);

// A value given as a word (UTF-8) into the setting's field of `record`. False,
// with one line in `error` naming what is allowed, when it is refused; a text
// must be well-formed UTF-8 of at most 1023 UTF-16 units.
bool TakeWord(const SettingEntry& setting, std::string_view word, SettingsRecord& record,
              std::string& error);

// The field's value in its canonical form: "on" or "off" for a flag, decimal
// milliseconds for an interval, the text itself.
std::string ValueOf(const SettingEntry& setting, const SettingsRecord& record);

// The value as `list` and `set` show it: a text quoted so that spaces, quotes
// and backslashes show ("a \"b\" \\ c") and control characters come out as
// escapes (\t, \x1b, \u009b), never raw to a terminal; anything else as ValueOf.
std::string Shown(const SettingEntry& setting, const SettingsRecord& record);

// What is wrong with a value given a verdict (settings/setting_values.h) other
// than kValueTaken, for `check` and `import`.
std::string Problem(const SettingEntry& setting, int verdict);

// What the program makes of a stored value with that verdict: "so Swipetype
// uses its default, off", "so Swipetype uses its first 1023".
std::string Consequence(const SettingEntry& setting, int verdict);

} // namespace setting_text
