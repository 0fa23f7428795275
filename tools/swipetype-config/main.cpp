// swipetype-config: shows and changes the settings of Swipetype in a device
// root from a shell, through the running instance when there is one, else in
// the registry hive; exports, imports and checks them; and the device
// remembered for each serial port.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "config_command.h"
#include "host/setting_text.h"
#include "platform/core/errors.h"
#include "platform/core/event_log.h"
#include "platform/core/message_text.h"
#include "platform/core/system.h"
#include "platform/core/unicode.h"
#include "platform/fs/device_root.h"
#include "platform/ipc/remote_windows.h"
#include "platform/registry/registry.h"
#include "platform/serial/remembered_ports.h"
#include "settings_file.h"
#include "startup_file.h"
#include "status_command.h"
#include "stored_settings.h"
#include "unanswered.h"

namespace {

using config_tool::Action;
using config_tool::Command;
using platform::remote::SettingAction;

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;

int Fail(const std::string& line, int status = kFailed) {
    std::fprintf(stderr, "swipetype-config: %s\n", line.c_str());
    return status;
}

// What the instance running on the device root answered; `running` false
// when none runs there.
struct InstanceAnswer {
    bool running = false;
    bool ok = false;
    std::string text;
};

InstanceAnswer AskInstance(SettingAction action, const std::string& name = "",
                           const std::u16string& value = u"") {
    std::optional<platform::SettingAnswer> answer =
        platform::RemoteSetting(action, platform::Utf8ToUtf16(name), value);
    if (!answer) {
        std::string why = config_tool::WhyUnanswered();
        return {!why.empty(), false, why};
    }
    return {true, answer->ok, platform::Utf16ToUtf8(answer->text)};
}

// The settings as they are now: the running instance's, else what it would
// load from the hive. False, with the reason said, when they cannot be read.
bool CurrentSettings(SettingsRecord& record) {
    record = DefaultSettings();
    InstanceAnswer first = AskInstance(SettingAction::Get, "Enable");
    if (first.running) {
        for (const SettingEntry& setting : SettingCatalog) {
            std::string name = setting_text::NameOf(setting);
            InstanceAnswer answer = AskInstance(SettingAction::Get, name);
            std::string error;
            if (!answer.ok || !setting_text::TakeWord(setting, answer.text, record, error)) {
                Fail(answer.ok ? error : answer.text);
                return false;
            }
        }
        return true;
    }
    config_tool::StoredKey stored;
    std::string error;
    if (!config_tool::ReadStoredKey(stored, error)) {
        Fail(error);
        return false;
    }
    record = config_tool::LoadedSettings(stored);
    return true;
}

// A setting's value as list --json shows it.
std::string JsonValue(const SettingEntry& setting, const SettingsRecord& record) {
    if (setting.kind == kTextSetting) {
        return platform::JsonString(TextField(setting, &record));
    }
    if (setting.kind == kFlagSetting) {
        return *NumberField(setting, &record) != 0 ? "true" : "false";
    }
    return setting_text::ValueOf(setting, record);
}

int List(bool json) {
    SettingsRecord record;
    if (!CurrentSettings(record)) {
        return kFailed;
    }
    std::string out = json ? "{" : "";
    for (const SettingEntry& setting : SettingCatalog) {
        std::string name = setting_text::NameOf(setting);
        if (!json) {
            char line[64];
            std::snprintf(line, sizeof line, "%-15s %-9s ", name.c_str(),
                          setting_text::Shown(setting, record).c_str());
            out += line + std::string(setting.help) + "\n";
            continue;
        }
        out += (out.size() > 1 ? "," : "") + platform::JsonString(setting.name) + ":" +
               JsonValue(setting, record);
    }
    std::fputs((json ? out + "}\n" : out).c_str(), stdout);
    return kDone;
}

int Get(const SettingEntry& setting) {
    SettingsRecord record;
    if (!CurrentSettings(record)) {
        return kFailed;
    }
    std::printf("%s\n", setting_text::ValueOf(setting, record).c_str());
    return kDone;
}

// Without an instance: the hive, as one change, and for AutoStart the startup
// file it stands for.
int StoreWithoutInstance(const std::vector<const SettingEntry*>& settings,
                         const SettingsRecord& values) {
    std::string error;
    if (!platform::PrepareDeviceRoot(error)) {
        return Fail(error);
    }
    for (const SettingEntry* setting : settings) {
        if (setting->number != &SettingsRecord::AutoStart) {
            continue;
        }
        if (values.AutoStart != 0 && !config_tool::WriteStartupFile(error)) {
            return Fail(error);
        }
        if (values.AutoStart == 0) {
            config_tool::RemoveStartupFile();
        }
    }
    return config_tool::StoreSettings(settings, values, error) ? kDone : Fail(error);
}

// Whether `record` gives each of `settings` the value it has in `wanted`.
bool SameValues(const std::vector<const SettingEntry*>& settings, const SettingsRecord& record,
                const SettingsRecord& wanted) {
    for (const SettingEntry* setting : settings) {
        if (setting_text::ValueOf(*setting, record) != setting_text::ValueOf(*setting, wanted)) {
            return false;
        }
    }
    return true;
}

int Set(const SettingEntry& setting, const std::string& value) {
    std::string name = setting_text::NameOf(setting);
    SettingsRecord current;
    SettingsRecord wanted{};
    std::string error;
    if (!CurrentSettings(current)) {
        return kFailed;
    }
    setting_text::TakeWord(setting, value, wanted, error);
    if (SameValues({&setting}, current, wanted)) {
        std::printf("%s = %s: unchanged\n", name.c_str(),
                    setting_text::Shown(setting, current).c_str());
        return kDone;
    }
    InstanceAnswer answer = AskInstance(SettingAction::Set, name, platform::Utf8ToUtf16(value));
    SettingsRecord record{};
    if (answer.running) {
        if (!answer.ok) {
            return Fail(answer.text);
        }
        setting_text::TakeWord(setting, answer.text, record, error);
        std::printf("%s = %s: taken by the running Swipetype and saved\n", name.c_str(),
                    setting_text::Shown(setting, record).c_str());
        return kDone;
    }
    setting_text::TakeWord(setting, value, record, error);
    int status = StoreWithoutInstance({&setting}, record);
    if (status == kDone) {
        std::printf("%s = %s: saved in %s (Swipetype does not run on this device root)\n",
                    name.c_str(), setting_text::Shown(setting, record).c_str(),
                    platform::HiveFilePath(HKEY_LOCAL_MACHINE).c_str());
    }
    return status;
}

int Reset() {
    InstanceAnswer answer = AskInstance(SettingAction::Reset);
    if (answer.running) {
        if (!answer.ok) {
            return Fail(answer.text);
        }
        std::printf("every setting is back to its default in the running Swipetype, and saved\n");
        return kDone;
    }
    std::vector<const SettingEntry*> all;
    for (const SettingEntry& setting : SettingCatalog) {
        all.push_back(&setting);
    }
    int status = StoreWithoutInstance(all, DefaultSettings());
    if (status == kDone) {
        std::printf("every setting is back to its default in %s\n",
                    platform::HiveFilePath(HKEY_LOCAL_MACHINE).c_str());
    }
    return status;
}

int Export() {
    SettingsRecord record;
    if (!CurrentSettings(record)) {
        return kFailed;
    }
    std::fputs(config_tool::ExportText(record).c_str(), stdout);
    return kDone;
}

// Every value is checked first: a file with any problem changes nothing. Only
// the values that differ from the current ones are changed.
int Import(const std::string& file, bool dryRun) {
    config_tool::ImportedSettings imported;
    std::vector<std::string> problems;
    config_tool::ImportVerdict verdict = config_tool::ReadSettingsFile(file, imported, problems);
    if (verdict != config_tool::ImportVerdict::Taken) {
        for (const std::string& problem : problems) {
            Fail(problem);
        }
        return verdict == config_tool::ImportVerdict::CannotRead ? kFailed : kUsageError;
    }
    SettingsRecord current;
    if (!CurrentSettings(current)) {
        return kFailed;
    }
    std::vector<const SettingEntry*> changed;
    for (const SettingEntry* setting : imported.given) {
        if (!SameValues({setting}, current, imported.values)) {
            changed.push_back(setting);
        }
    }
    if (dryRun) {
        for (const SettingEntry* setting : changed) {
            std::printf("{\"name\":%s,\"old\":%s,\"new\":%s}\n",
                        platform::JsonString(setting->name).c_str(),
                        JsonValue(*setting, current).c_str(),
                        JsonValue(*setting, imported.values).c_str());
        }
        return kDone;
    }
    if (changed.empty()) {
        std::printf("%zu settings from %s: unchanged\n", imported.given.size(), file.c_str());
        return kDone;
    }
    // Through the running instance: NAME=VALUE entries separated by zero units.
    std::u16string entries;
    for (const SettingEntry* setting : changed) {
        entries += (entries.empty() ? u"" : std::u16string(1, u'\0')) + setting->name + u"=" +
                   platform::Utf8ToUtf16(setting_text::ValueOf(*setting, imported.values));
    }
    InstanceAnswer answer = AskInstance(SettingAction::Set, "", entries);
    std::size_t count = changed.size();
    if (answer.running) {
        if (!answer.ok) {
            return Fail(answer.text);
        }
        std::printf("%zu settings from %s changed in the running Swipetype and saved\n", count,
                    file.c_str());
        return kDone;
    }
    int status = StoreWithoutInstance(changed, imported.values);
    if (status == kDone) {
        std::printf("%zu settings from %s changed in %s (Swipetype does not run on this device "
                    "root)\n",
                    count, file.c_str(), platform::HiveFilePath(HKEY_LOCAL_MACHINE).c_str());
    }
    return status;
}

// The problems go to standard output, a line each: they are what was asked for.
// With a FILE, that file is checked as import would take it.
int Check(const std::string& file) {
    std::vector<std::string> problems;
    std::string checked = file;
    if (!file.empty()) {
        config_tool::ImportedSettings imported;
        if (config_tool::ReadSettingsFile(file, imported, problems) ==
            config_tool::ImportVerdict::CannotRead) {
            return Fail(problems.empty() ? "cannot read " + file : problems.front());
        }
    } else {
        config_tool::StoredKey stored;
        std::string error;
        if (!config_tool::ReadStoredKey(stored, error)) {
            return Fail(error);
        }
        if (!stored.exists) {
            return Fail(stored.hive + " does not exist: nothing is stored on this device root");
        }
        problems = config_tool::CheckStoredKey(stored);
        checked = stored.hive;
    }
    for (const std::string& problem : problems) {
        std::printf("%s\n", problem.c_str());
    }
    if (problems.empty()) {
        std::printf("%s: every setting is good\n", checked.c_str());
    }
    return problems.empty() ? kDone : kFailed;
}

int Port(int number, const std::optional<std::string>& path) {
    std::string name = "COM" + std::to_string(number) + ":";
    if (!path) {
        std::optional<std::string> remembered = platform::RememberedPortPath(number);
        std::printf("%s\n", remembered ? (name + "=" + *remembered).c_str()
                                       : (name +
                                          " is not remembered on this device root; a "
                                          "start without --port opens /dev/ttyS" +
                                          std::to_string(number - 1))
                                             .c_str());
        return kDone;
    }
    // A damaged hive is mended first: a till is changed whole or not at all.
    config_tool::StoredKey stored;
    std::string error;
    if (!config_tool::ReadStoredKey(stored, error)) {
        return Fail(error);
    }
    std::string target = path->empty() ? "" : platform::PortPathToRemember(*path);
    if (!platform::RememberPortPath(number, target, error)) {
        return Fail(error);
    }
    if (target.empty()) {
        std::printf("%s is no longer remembered on this device root\n", name.c_str());
    } else {
        std::printf("%s=%s%s (used by every start without --port; a running Swipetype started "
                    "without one uses it the next time its reader starts)\n",
                    name.c_str(), target.c_str(),
                    target != *path ? (", the stable name of " + *path).c_str() : "");
    }
    return kDone;
}

int Init() {
    std::string root = platform::DeviceRoot();
    bool existed = ::access(root.c_str(), F_OK) == 0;
    std::string error;
    if (!platform::PrepareDeviceRoot(error)) {
        return Fail(error);
    }
    std::printf("%s %s\n", root.c_str(),
                existed ? "is a device root (anything missing was added)" : "created");
    return kDone;
}

// Every action but init works on a device root that exists: a mistyped --root
// is not made up.
bool RootExists() {
    std::string root = platform::DeviceRoot();
    struct stat info {};
    if (root.empty()) {
        Fail("no device root: give --root, or set SWIPETYPE_ROOT or HOME");
        return false;
    }
    if (::stat(root.c_str(), &info) != 0) {
        Fail("no device root " + root + " (" + platform::ErrorText() +
             "); swipetype-config --root " + root + " init creates one");
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        Fail("the device root " + root + " is not a folder");
        return false;
    }
    return true;
}

int Run(const Command& command) {
    if (command.root) {
        platform::SetDeviceRoot(*command.root);
    }
    platform::SetRemoteCallTimeout(command.timeout);
    if (command.action == Action::Init) {
        return Init();
    }
    if (!RootExists()) {
        return kFailed;
    }
    const SettingEntry* setting = setting_text::Find(command.name);
    switch (command.action) {
    case Action::List:
        return List(command.json);
    case Action::Get:
        return Get(*setting);
    case Action::Set:
        return Set(*setting, command.value);
    case Action::Reset:
        return Reset();
    case Action::Export:
        return Export();
    case Action::Import:
        return Import(command.file, command.dryRun);
    case Action::Check:
        return Check(command.file);
    case Action::Port:
        return Port(command.port, command.path);
    case Action::Status:
        return config_tool::ShowStatus(command.json);
    case Action::Init:
    case Action::Help:
    case Action::Version:
        break;
    }
    return kDone;
}

} // namespace

int main(int argc, char** argv) {
    platform::SetDebugLineName("swipetype-config");
    platform::SetDebugLinesShown(false);
    config_tool::ParseResult parsed =
        config_tool::ParseCommand(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "%s\n", parsed.error.c_str());
        return kUsageError;
    }
    if (parsed.command.action == Action::Help) {
        std::fputs(config_tool::UsageText().c_str(), stdout);
        return kDone;
    }
    if (parsed.command.action == Action::Version) {
        std::printf("swipetype-config %s\n", SWIPETYPE_VERSION);
        return kDone;
    }
    return Run(parsed.command);
}
