#include "host/setting_text.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "platform/core/message_text.h"
#include "platform/core/strict_utf8.h"
#include "platform/core/unicode.h"
#include "settings/setting_values.h"

namespace setting_text {
namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// How many letters to change, add or drop to make one name the other, without
// regard to case.
std::size_t Distance(std::string_view left, std::string_view right) {
    std::vector<std::size_t> row(right.size() + 1);
    for (std::size_t j = 0; j < row.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= left.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= right.size(); ++j) {
            std::size_t above = row[j];
            std::size_t change = Lower(left[i - 1]) == Lower(right[j - 1]) ? 0 : 1;
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + change});
            diagonal = above;
        }
    }
    return row.back();
}

// A control character (C0, DEL, or C1 as UTF-8 gives it) as an escape, so that
// a value shown on a terminal cannot move its cursor, retitle it or ring it.
std::string Escaped(unsigned code) {
    switch (code) {
    case '\t':
        return "\\t";
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    default:
        break;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, code < 0x80 ? "\\x%02x" : "\\u%04x", code);
    return escaped;
}

std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0u;
        if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            quoted += Escaped(next);
            ++i;
            continue;
        }
        if (byte < 0x20 || byte == 0x7F) {
            quoted += Escaped(byte);
            continue;
        }
        if (byte == '"' || byte == '\\') {
            quoted += '\\';
        }
        quoted += static_cast<char>(byte);
    }
    return quoted + "\"";
}

} // namespace

std::string NameOf(const SettingEntry& setting) {
    return platform::Utf16ToUtf8(setting.name);
}

const SettingEntry* Find(std::string_view name) {
    std::optional<std::u16string> wide = platform::DecodeUtf8(name);
    if (!wide || wide->find(u'\0') != std::u16string::npos) {
        return nullptr;
    }
    return FindSetting(wide->c_str());
}

const SettingEntry* Closest(std::string_view name) {
    const SettingEntry* closest = nullptr;
    std::size_t closestDistance = 3; // further than two letters off is no misspelling
    for (const SettingEntry& setting : SettingCatalog) {
        if (std::size_t distance = Distance(name, NameOf(setting)); distance < closestDistance) {
            closest = &setting;
            closestDistance = distance;
        }
    }
    return closest;
}

std::string UnknownSettingLine(std::string_view name) {
    std::string line = "no setting " + platform::QuoteForMessage(name);
    if (const SettingEntry* closest = Closest(name)) {
        line += " (did you mean " + NameOf(*closest) + "?)";
    }
    std::string names;
    for (const SettingEntry& setting : SettingCatalog) {
        names += (names.empty() ? "" : ", ") + NameOf(setting);
    }
    return line + "; the settings are " + names;
}

std::string Allowed(const SettingEntry& setting) {
    switch (setting.kind) {
    case kFlagSetting: {
        std::string words;
        for (const FlagWordPair& pair : kFlagWords) {
            words += std::string(pair.on) + ", " + pair.off + ", ";
        }
        words += "1 or 0";
        if (setting.onWord != nullptr) {
            words += ", or " + std::string(setting.onWord) + " or " + setting.offWord;
        }
        return words;
    }
    case kIntervalSetting:
        return "milliseconds from " + std::to_string(setting.lowest) + " to " +
               std::to_string(setting.highest);
    case kRateSetting: {
        std::string rates;
        for (std::size_t i = 0; i < setting.numberCount; ++i) {
            rates += (i == 0                         ? ""
                      : i + 1 == setting.numberCount ? " or "
                                                     : ", ") +
                     std::to_string(setting.numbers[i]);
        }
        return rates;
    }
    case kTextSetting:
        break;
    }
    if (setting.wordCount > 0) {
        std::string words;
        for (std::size_t i = 0; i < setting.wordCount; ++i) {
            words += (i == 0                       ? ""
                      : i + 1 == setting.wordCount ? " or "
                                                   : ", ") +
                     std::string(setting.words[i]);
        }
        return words;
    }
    return "UTF-8 text of at most " + std::to_string(kLongestText) + " characters";
}

bool TakeWord(const SettingEntry& setting, std::string_view word, SettingsRecord& record,
              std::string& error) {
    std::optional<std::u16string> wide = platform::DecodeUtf8(word);
    if (!wide || TakeSettingText(setting, wide->data(), static_cast<DWORD>(wide->size()),
                                 &record) != kValueTaken) {
        error = NameOf(setting) + " takes " + Allowed(setting) + ", not " +
                platform::QuoteForMessage(word);
        return false;
    }
    return true;
}

std::string ValueOf(const SettingEntry& setting, const SettingsRecord& record) {
    if (setting.kind == kTextSetting) {
        return platform::Utf16ToUtf8(TextField(setting, &record));
    }
    DWORD number = *NumberField(setting, &record);
    if (setting.kind == kFlagSetting) {
        return number != 0 ? kFlagWords[0].on : kFlagWords[0].off;
    }
    return std::to_string(number);
}

std::string Shown(const SettingEntry& setting, const SettingsRecord& record) {
    std::string value = ValueOf(setting, record);
    return setting.kind == kTextSetting ? Quoted(value) : value;
}

std::string Problem(const SettingEntry& setting, int verdict) {
    switch (verdict) {
    case kValueCut:
        return "longer than " + std::to_string(kLongestText) + " characters";
    case kValueWrongType:
        return setting.kind == kTextSetting ? "not stored as text" : "neither a dword nor text";
    case kValueNotUnderstood:
        if (setting.kind == kTextSetting && setting.wordCount == 0) {
            return "a text with a zero character in it";
        }
        [[fallthrough]];
    default:
        break;
    }
    return "not what " + NameOf(setting) + " takes (" + Allowed(setting) + ")";
}

std::string Consequence(const SettingEntry& setting, int verdict) {
    if (verdict == kValueCut) {
        return "so Swipetype uses its first " + std::to_string(kLongestText);
    }
    SettingsRecord defaults = DefaultSettings();
    return "so Swipetype uses its default, " +
           (setting.kind == kTextSetting && setting.wordCount == 0 ? "the empty text"
                                                                   : Shown(setting, defaults));
}

} // namespace setting_text
