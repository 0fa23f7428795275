#include "stored_settings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

#include "platform/core/errors.h"
#include "platform/core/file_owner.h"
#include "platform/fs/device_root.h"
#include "platform/registry/hive_file.h"
#include "platform/registry/registry.h"
#include "settings/setting_values.h"

namespace config_tool {
namespace {

using platform::hive::Document;

// "cannot read X: reason", or X is not a folder when a component is a file.
std::string CannotRead(const std::string& path, int error) {
    if (error == ENOTDIR) {
        return "cannot read " + path + ": the device root " + platform::DeviceRoot() +
               " or its registry folder is not a folder";
    }
    return platform::SystemError("cannot read " + path, error);
}

// The hive file's text; nothing for a file that does not exist.
bool ReadHiveText(const std::string& path, std::optional<std::string>& text, std::string& error) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        if (errno == ENOENT) {
            return true;
        }
        error = CannotRead(path, errno);
        return false;
    }
    text.emplace();
    char buffer[8192];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        text->append(buffer, got);
    }
    if (std::ferror(file.get()) != 0) {
        error = CannotRead(path, errno);
        return false;
    }
    return true;
}

} // namespace

std::u16string SettingsKeyPath() {
    return std::u16string(u"HKEY_LOCAL_MACHINE\\") + kSettingsKey;
}

bool ReadStoredKey(StoredKey& stored, std::string& error) {
    std::string root = platform::DeviceRoot();
    struct stat status {};
    if (root.empty()) {
        error = "no device root: give --root, or set SWIPETYPE_ROOT or HOME";
        return false;
    }
    if (::stat(root.c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) {
        error = "the device root " + root + " is not a folder";
        return false;
    }
    stored.hive = platform::HiveFilePath(HKEY_LOCAL_MACHINE);
    std::optional<std::string> text;
    if (!ReadHiveText(stored.hive, text, error)) {
        return false;
    }
    if (!text) {
        return true;
    }
    stored.exists = true;
    platform::hive::ParseError fault;
    std::optional<Document> document = platform::hive::Parse(*text, fault);
    if (!document) {
        error = stored.hive + " does not parse, line " + std::to_string(fault.line) + ": " +
                fault.reason + "; it is left as it is (mend or remove that line)";
        return false;
    }
    if (const platform::hive::Key* key = platform::hive::FindKey(*document, SettingsKeyPath())) {
        stored.key = *key;
    }
    return true;
}

SettingsRecord LoadedSettings(const StoredKey& stored) {
    SettingsRecord record = DefaultSettings();
    for (const SettingEntry& setting : SettingCatalog) {
        const platform::hive::Value* value =
            stored.key ? platform::hive::FindValue(*stored.key, setting.name) : nullptr;
        if (value == nullptr) {
            continue;
        }
        int verdict = TakeStoredSetting(setting, value->type, value->data.data(),
                                        static_cast<DWORD>(value->data.size()), &record);
        if (verdict != kValueTaken && verdict != kValueCut) {
            SetSettingDefault(setting, &record);
        }
    }
    return record;
}

DWORD StoredForm(const SettingEntry& setting, const SettingsRecord& values,
                 std::vector<BYTE>& bytes) {
    bytes.clear();
    if (setting.kind == kTextSetting) {
        for (const WCHAR* unit = TextField(setting, &values);; ++unit) {
            bytes.push_back(static_cast<BYTE>(*unit & 0xFF));
            bytes.push_back(static_cast<BYTE>(*unit >> 8));
            if (*unit == u'\0') {
                return REG_SZ;
            }
        }
    }
    DWORD number = *NumberField(setting, &values);
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<BYTE>(number >> shift));
    }
    return REG_DWORD;
}

bool StoreSettings(const std::vector<const SettingEntry*>& settings, const SettingsRecord& values,
                   std::string& error) {
    std::string path = platform::HiveFilePath(HKEY_LOCAL_MACHINE);
    std::string folder = path.substr(0, path.rfind('/'));
    auto cannotSave = [&](const std::string& why) {
        error = "cannot save in " + path + ": " + why;
        return false;
    };
    if (platform::MakeOwnedFolder(folder, 0700) != 0 && errno != EEXIST) {
        return cannotSave(platform::ErrorText());
    }
    platform::hive::HiveFile file(path);
    file.Lock();
    // Read again under the lock: a damaged hive is refused here, before the
    // registry's own read would set it aside and start an empty one.
    StoredKey stored;
    if (!ReadStoredKey(stored, error)) {
        return false;
    }
    Document document;
    LONG result = file.Load(document);
    if (result == ERROR_SUCCESS) {
        platform::hive::Key& key = platform::hive::AddKey(document, SettingsKeyPath());
        for (const SettingEntry* setting : settings) {
            std::vector<BYTE> bytes;
            DWORD type = StoredForm(*setting, values, bytes);
            platform::hive::SetValue(key, setting->name, type, std::move(bytes));
        }
        result = file.Save(document);
    }
    if (result == ERROR_SUCCESS) {
        return true;
    }
    if (!file.Problem().empty()) {
        return cannotSave(file.Problem());
    }
    return cannotSave(result == ERROR_TIMEOUT ? "it stays locked by another process"
                                              : "error " + std::to_string(result));
}

} // namespace config_tool
