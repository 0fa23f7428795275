#include "settings_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "host/setting_text.h"
#include "platform/core/errors.h"
#include "platform/core/message_text.h"
#include "platform/core/unicode.h"
#include "platform/registry/registry.h"
#include "settings/setting_values.h"

namespace config_tool {
namespace {

using platform::hive::Document;
using platform::hive::Key;
using platform::hive::Value;

std::string NameWritten(const Value& value) {
    return value.name.empty() ? "@" : "\"" + platform::Utf16ToUtf8(value.name) + "\"";
}

// A stored value much as the registry file writes it, cut for a message.
std::string DataWritten(const Value& value) {
    const std::vector<BYTE>& data = value.data;
    char text[40];
    if (value.type == REG_DWORD && data.size() == 4) {
        std::snprintf(text, sizeof text, "dword:%02x%02x%02x%02x", data[3], data[2], data[1],
                      data[0]);
        return text;
    }
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        std::u16string units;
        for (std::size_t i = 0; i + 1 < data.size() && (data[i] | data[i + 1]) != 0; i += 2) {
            units += static_cast<char16_t>(data[i] | data[i + 1] << 8);
        }
        return platform::QuoteForMessage(platform::Utf16ToUtf8(units));
    }
    std::snprintf(text, sizeof text, "hex(%x): %zu bytes", static_cast<unsigned>(value.type),
                  data.size());
    return text;
}

// What is wrong with one stored value, taking it into `into`; empty when
// nothing is. For the hive, with what the program makes of it.
std::string ValueProblem(const Value& value, SettingsRecord& into, bool stored) {
    std::string name = platform::Utf16ToUtf8(value.name);
    const SettingEntry* setting = value.name.empty() ? nullptr : setting_text::Find(name);
    if (setting == nullptr) {
        const SettingEntry* closest = setting_text::Closest(name);
        return NameWritten(value) + " is no setting" +
               (closest != nullptr ? " (did you mean " + setting_text::NameOf(*closest) + "?)"
                                   : "") +
               (stored ? ", so Swipetype ignores it" : "");
    }
    int verdict = TakeStoredSetting(*setting, value.type, value.data.data(),
                                    static_cast<DWORD>(value.data.size()), &into);
    if (verdict == kValueTaken) {
        return "";
    }
    return NameWritten(value) + "=" + DataWritten(value) + " is " +
           setting_text::Problem(*setting, verdict) +
           (stored ? ", " + setting_text::Consequence(*setting, verdict) : "");
}

bool ReadWhole(const std::string& file, std::string& bytes, std::string& error) {
    std::unique_ptr<FILE, int (*)(FILE*)> opened(nullptr, &std::fclose);
    FILE* stream = stdin;
    if (file != "-") {
        opened.reset(std::fopen(file.c_str(), "rb"));
        stream = opened.get();
    }
    if (stream == nullptr) {
        error = platform::SystemError("cannot read " + file);
        return false;
    }
    char buffer[8192];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
        bytes.append(buffer, got);
    }
    if (std::ferror(stream) != 0) {
        error = platform::SystemError("cannot read " + file);
        return false;
    }
    return true;
}

// The file's settings key; a line in `problems` for every other key.
const Key* SettingsKeyOf(const Document& document, const std::string& file,
                         std::vector<std::string>& problems) {
    const Key* found = nullptr;
    std::string path = platform::Utf16ToUtf8(SettingsKeyPath());
    for (const Key& key : document.keys) {
        if (platform::hive::NamesEqual(key.path, SettingsKeyPath())) {
            found = &key;
        } else {
            problems.push_back(file);
            problems.back().append(": [").append(platform::Utf16ToUtf8(key.path));
            problems.back().append("] is not the settings key [").append(path).append("]");
        }
    }
    if (found == nullptr && problems.empty()) {
        problems.push_back(file + " holds no settings key [" + path + "]");
    }
    return found;
}

} // namespace

std::string ExportText(const SettingsRecord& values) {
    Document document;
    Key& key = platform::hive::AddKey(document, SettingsKeyPath());
    for (const SettingEntry& setting : SettingCatalog) {
        std::vector<BYTE> bytes;
        DWORD type = StoredForm(setting, values, bytes);
        platform::hive::SetValue(key, setting.name, type, std::move(bytes));
    }
    return platform::hive::Serialize(document);
}

ImportVerdict ReadSettingsFile(const std::string& file, ImportedSettings& imported,
                               std::vector<std::string>& problems) {
    std::string bytes;
    std::string error;
    if (!ReadWhole(file, bytes, error)) {
        problems.push_back(error);
        return ImportVerdict::CannotRead;
    }
    platform::hive::ParseError fault;
    std::optional<Document> document = platform::hive::Parse(bytes, fault);
    if (!document) {
        problems.push_back(file + ", line " + std::to_string(fault.line) + ": " + fault.reason);
        return ImportVerdict::Refused;
    }
    const Key* key = SettingsKeyOf(*document, file, problems);
    std::vector<bool> named(std::size(SettingCatalog), false);
    for (const Value& value : key != nullptr ? key->values : std::vector<Value>{}) {
        if (std::string problem = ValueProblem(value, imported.values, false); !problem.empty()) {
            problems.push_back(file);
            problems.back().append(": ").append(problem);
        } else {
            named[static_cast<std::size_t>(FindSetting(value.name.c_str()) - SettingCatalog)] =
                true;
        }
    }
    for (std::size_t i = 0; i < named.size(); ++i) {
        if (named[i]) {
            imported.given.push_back(&SettingCatalog[i]);
        }
    }
    return problems.empty() ? ImportVerdict::Taken : ImportVerdict::Refused;
}

std::vector<std::string> CheckStoredKey(const StoredKey& stored) {
    std::vector<std::string> problems;
    SettingsRecord scratch = DefaultSettings();
    for (const Value& value : stored.key ? stored.key->values : std::vector<Value>{}) {
        if (std::string problem = ValueProblem(value, scratch, true); !problem.empty()) {
            problems.push_back(stored.hive + ": " + problem);
        }
    }
    return problems;
}

} // namespace config_tool
