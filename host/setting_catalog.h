// The fourteen settings as a person names them on a command line: the registry
// value names, what values each takes, its default and what it means. Shared by
// swipetype-config and by the running program's answer to it, so that both
// accept and write exactly the same values.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace setting_catalog {

// Their registry key, below HKEY_LOCAL_MACHINE.
constexpr const char16_t* kRegistryKey = u"Software\\Zelna\\Swipetype";

enum class Kind {
    Flag,     // on or off, stored as a REG_DWORD 1 or 0
    Text,     // up to 1023 UTF-16 units, stored as a REG_SZ
    Interval, // milliseconds, stored as a REG_DWORD
};

struct Setting {
    const char* name; // the registry value name
    Kind kind;
    const char* defaultValue; // in the form FormatFlag and FormatNumber give
    const char* meaning;
};

// In the order the program visits them.
std::span<const Setting> AllSettings();

// The setting with this name, letters compared without regard to case (as the
// registry compares names); null when there is none.
const Setting* FindSetting(std::string_view name);

// One line for a name that is no setting, naming the settings there are.
std::string UnknownSettingLine(std::string_view name);

constexpr unsigned long kShortestInterval = 10;
constexpr unsigned long kLongestInterval = 86400000;
constexpr std::size_t kLongestText = 1023; // UTF-16 units

// A value given for a setting in its canonical form: "on" or "off" for a flag
// (given as on/off/1/0/yes/no, and for UseMSR also msr/rfid), the decimal
// milliseconds for an interval, the text itself for a text. Nothing, with one
// line in `error` naming what is allowed, for anything else.
std::optional<std::string> ParseValue(const Setting& setting, std::string_view value,
                                      std::string& error);

// The canonical forms of stored values.
std::string FormatFlag(unsigned long value);
std::string FormatNumber(unsigned long value);

// A text quoted so that spaces, quotes and backslashes show: "a \"b\" \\ c".
std::string Quoted(std::string_view text);

} // namespace setting_catalog
