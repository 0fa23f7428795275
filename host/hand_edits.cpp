#include "host/hand_edits.h"

#include <optional>
#include <vector>

#include "app/app_handles.h"
#include "host/setting_catalog.h"
#include "host/setting_requests.h"
#include "platform/core/system.h"
#include "platform/core/unicode.h"
#include "platform/registry/hive_watch.h"
#include "platform/registry/registry.h"

namespace host {
namespace {

using setting_catalog::Kind;
using setting_catalog::Setting;

// A stored text: UTF-16 units up to the terminator or the end of the bytes.
std::string StoredText(const std::vector<BYTE>& data) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == u'\0') {
            break;
        }
        text += unit;
    }
    return platform::Utf16ToUtf8(text);
}

// The value as a `set` would be given it: a number as its digits (any nonzero
// flag is on, as the program reads it), a text as itself, which `set` then
// judges. Nothing for a value of another type.
std::optional<std::string> SetArgument(const Setting& setting,
                                       const platform::ChangedValue& value) {
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        return StoredText(value.data);
    }
    if (setting.kind == Kind::Text || value.type != REG_DWORD || value.data.size() != 4) {
        return std::nullopt;
    }
    unsigned long number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                           (static_cast<unsigned long>(value.data[3]) << 24);
    return setting.kind == Kind::Flag ? setting_catalog::FormatFlag(number)
                                      : setting_catalog::FormatNumber(number);
}

void Say(const std::string& line) {
    NKDbgPrintfW(u"%s", platform::Utf8ToUtf16(line).c_str());
}

void TakeChanged(const std::vector<platform::ChangedValue>& changed) {
    // Before the options dialog exists the settings are yet to be loaded, from
    // the hive as it is then.
    if (OptionsDialog == nullptr) {
        return;
    }
    for (const platform::ChangedValue& value : changed) {
        std::string name = platform::Utf16ToUtf8(value.name);
        const Setting* setting = setting_catalog::FindSetting(name);
        if (setting == nullptr) {
            continue; // not a setting: nothing of the program's
        }
        std::optional<std::string> argument = SetArgument(*setting, value);
        std::string error = std::string(setting->name) + " is stored with registry type " +
                            std::to_string(value.type);
        if (!argument || !ApplySetting(setting->name, *argument, error)) {
            Say(std::string(setting->name) + " changed on disk is not taken: " + error);
            continue;
        }
        std::string shown =
            setting->kind == Kind::Text ? setting_catalog::Quoted(*argument) : *argument;
        Say(std::string(setting->name) + " = " + shown + ", taken from the hive changed on disk");
    }
}

} // namespace

bool TakeHandEdits(std::string& error) {
    return platform::WatchRegistryKey(HKEY_LOCAL_MACHINE, setting_catalog::kRegistryKey,
                                      TakeChanged, error);
}

void TakeHandEditsNow() {
    platform::TakeRegistryChanges();
}

void StopTakingHandEdits() {
    platform::StopWatchingRegistry();
}

} // namespace host
