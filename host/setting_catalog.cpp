#include "host/setting_catalog.h"

#include <algorithm>
#include <charconv>

#include "platform/core/strict_utf8.h"

namespace setting_catalog {
namespace {

const Setting kSettings[] = {
    {"Enable", Kind::Flag, "off", "reading is on: the reader chosen by UseMSR runs"},
    {"UseMSR", Kind::Flag, "on",
     "input type: on (msr) the magnetic stripe reader, off (rfid) "
     "the RFID reader"},
    {"Beep", Kind::Flag, "off", "a sound on each read, good or bad"},
    {"Prefix", Kind::Text, "", "typed before the data"},
    {"Suffix", Kind::Text, "", "typed after the data"},
    {"SendTab", Kind::Flag, "off", "a TAB is typed after the suffix"},
    {"SendEnter", Kind::Flag, "off", "an ENTER is typed after the suffix, after the TAB"},
    {"UseTrack1", Kind::Flag, "on", "magnetic track 1 is typed, and must read well"},
    {"UseTrack2", Kind::Flag, "on", "magnetic track 2 is typed, and must read well"},
    {"UseTrack3", Kind::Flag, "on", "magnetic track 3 is typed (it is never checked)"},
    {"TrackSeparator", Kind::Text, "", "typed between the typed tracks"},
    {"AutoStart", Kind::Flag, "off", "the startup file exists, so the program starts at boot"},
    {"MSRInterval", Kind::Interval, "325", "ms between polls of the magnetic stripe reader"},
    {"RFIDInterval", Kind::Interval, "350", "ms between polls of the RFID reader"},
};

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool SameNoCase(std::string_view left, std::string_view right) {
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(),
                      [](char a, char b) { return Lower(a) == Lower(b); });
}

std::optional<std::string> ParseFlag(const Setting& setting, std::string_view value) {
    if (SameNoCase(setting.name, "UseMSR") &&
        (SameNoCase(value, "msr") || SameNoCase(value, "rfid"))) {
        return SameNoCase(value, "msr") ? "on" : "off";
    }
    for (std::string_view on : {"on", "1", "yes"}) {
        if (SameNoCase(value, on)) {
            return "on";
        }
    }
    for (std::string_view off : {"off", "0", "no"}) {
        if (SameNoCase(value, off)) {
            return "off";
        }
    }
    return std::nullopt;
}

std::optional<std::string> ParseInterval(std::string_view value) {
    unsigned long number = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() ||
        number < kShortestInterval || number > kLongestInterval) {
        return std::nullopt;
    }
    return FormatNumber(number);
}

std::optional<std::string> ParseText(std::string_view value) {
    std::optional<std::u16string> text = platform::DecodeUtf8(value);
    if (!text || text->size() > kLongestText || text->find(u'\0') != std::u16string::npos) {
        return std::nullopt;
    }
    return std::string(value);
}

std::string Allowed(const Setting& setting) {
    switch (setting.kind) {
    case Kind::Flag:
        return SameNoCase(setting.name, "UseMSR") ? "on, off, 1, 0, yes, no, msr or rfid"
                                                  : "on, off, 1, 0, yes or no";
    case Kind::Interval:
        return "milliseconds from " + FormatNumber(kShortestInterval) + " to " +
               FormatNumber(kLongestInterval);
    case Kind::Text:
        break;
    }
    return "UTF-8 text of at most " + std::to_string(kLongestText) + " characters";
}

} // namespace

std::span<const Setting> AllSettings() {
    return kSettings;
}

const Setting* FindSetting(std::string_view name) {
    for (const Setting& setting : kSettings) {
        if (SameNoCase(setting.name, name)) {
            return &setting;
        }
    }
    return nullptr;
}

std::string UnknownSettingLine(std::string_view name) {
    std::string line = "no setting '" + std::string(name) + "'; the settings are";
    for (const Setting& setting : kSettings) {
        line += std::string(&setting == kSettings ? " " : ", ") + setting.name;
    }
    return line;
}

std::optional<std::string> ParseValue(const Setting& setting, std::string_view value,
                                      std::string& error) {
    std::optional<std::string> parsed;
    switch (setting.kind) {
    case Kind::Flag:
        parsed = ParseFlag(setting, value);
        break;
    case Kind::Interval:
        parsed = ParseInterval(value);
        break;
    case Kind::Text:
        parsed = ParseText(value);
        break;
    }
    if (!parsed) {
        error = std::string(setting.name) + " takes " + Allowed(setting) + ", not " + Quoted(value);
    }
    return parsed;
}

std::string FormatFlag(unsigned long value) {
    return value != 0 ? "on" : "off";
}

std::string FormatNumber(unsigned long value) {
    return std::to_string(value);
}

std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace setting_catalog
