// swipetype-config: shows and changes the settings of Swipetype in a device
// root from a shell, through the running instance when there is one, else in
// the registry hive; and the device remembered for each serial port.
#include <cstdio>
#include <string>
#include <vector>

#include "config_command.h"
#include "host/setting_catalog.h"
#include "platform/core/unicode.h"
#include "platform/fs/device_root.h"
#include "platform/ipc/remote_windows.h"
#include "platform/registry/registry.h"
#include "platform/serial/remembered_ports.h"
#include "startup_file.h"
#include "status_command.h"
#include "stored_settings.h"

namespace {

using config_tool::Action;
using config_tool::Command;
using platform::remote::SettingAction;
using setting_catalog::Kind;
using setting_catalog::Setting;

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;

int Fail(const std::string& line) {
    std::fprintf(stderr, "swipetype-config: %s\n", line.c_str());
    return kFailed;
}

// What the instance running on the device root answered; `running` false
// when none runs there.
struct InstanceAnswer {
    bool running = false;
    bool ok = false;
    std::string text;
};

InstanceAnswer AskInstance(SettingAction action, const std::string& name = "",
                           const std::string& value = "") {
    std::optional<platform::SettingAnswer> answer =
        platform::RemoteSetting(action, platform::Utf8ToUtf16(name), platform::Utf8ToUtf16(value));
    if (!answer) {
        // One that runs but cannot be asked is refused too: its hive is never written under it.
        std::string why = platform::RemoteCallTimedOut()
                              ? "the running Swipetype gave no answer in time"
                              : platform::InstanceOutOfReach();
        return {!why.empty(), false, why};
    }
    return {true, answer->ok, platform::Utf16ToUtf8(answer->text)};
}

std::string Shown(const Setting& setting, const std::string& value) {
    return setting.kind == Kind::Text ? setting_catalog::Quoted(value) : value;
}

std::string SaveError(const Setting& setting, LONG error) {
    std::string why = error == ERROR_ACCESS_DENIED || error == ERROR_TIMEOUT
                          ? "the hive cannot be changed (a read-only device root, or locked)"
                          : "the hive cannot be written (error " + std::to_string(error) + ")";
    return std::string("cannot save ") + setting.name + " in " +
           platform::HiveFilePath(HKEY_LOCAL_MACHINE) + ": " + why;
}

int List() {
    InstanceAnswer first = AskInstance(SettingAction::Get, "Enable");
    if (first.running && !first.ok) {
        return Fail(first.text);
    }
    for (const Setting& setting : setting_catalog::AllSettings()) {
        std::string value = config_tool::StoredValue(setting);
        if (first.running) {
            InstanceAnswer answer = AskInstance(SettingAction::Get, setting.name);
            if (!answer.ok) {
                return Fail(answer.text);
            }
            value = answer.text;
        }
        std::printf("%-15s %-9s %s\n", setting.name, Shown(setting, value).c_str(),
                    setting.meaning);
    }
    return kDone;
}

int Get(const Setting& setting) {
    InstanceAnswer answer = AskInstance(SettingAction::Get, setting.name);
    if (answer.running && !answer.ok) {
        return Fail(answer.text);
    }
    std::printf("%s\n", (answer.running ? answer.text : config_tool::StoredValue(setting)).c_str());
    return kDone;
}

// Without an instance: the hive, and for AutoStart the startup file it stands for.
int StoreWithoutInstance(const Setting& setting, const std::string& value) {
    std::string error;
    if (!platform::PrepareDeviceRoot(error)) {
        return Fail(error);
    }
    if (std::string_view(setting.name) == "AutoStart") {
        if (value == "on" && !config_tool::WriteStartupFile(error)) {
            return Fail(error);
        }
        if (value == "off") {
            config_tool::RemoveStartupFile();
        }
    }
    LONG result = config_tool::StoreValue(setting, value);
    return result == ERROR_SUCCESS ? kDone : Fail(SaveError(setting, result));
}

int Set(const Setting& setting, const std::string& value) {
    InstanceAnswer answer = AskInstance(SettingAction::Set, setting.name, value);
    if (answer.running) {
        if (!answer.ok) {
            return Fail(answer.text);
        }
        std::printf("%s = %s: taken by the running Swipetype and saved\n", setting.name,
                    Shown(setting, answer.text).c_str());
        return kDone;
    }
    int status = StoreWithoutInstance(setting, value);
    if (status == kDone) {
        std::printf("%s = %s: saved in %s (Swipetype does not run on this device root)\n",
                    setting.name, Shown(setting, value).c_str(),
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
    for (const Setting& setting : setting_catalog::AllSettings()) {
        if (int status = StoreWithoutInstance(setting, setting.defaultValue); status != kDone) {
            return status;
        }
    }
    std::printf("every setting is back to its default in %s\n",
                platform::HiveFilePath(HKEY_LOCAL_MACHINE).c_str());
    return kDone;
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
    std::string error;
    std::string target = path->empty() ? "" : platform::PortPathToRemember(*path);
    if (!platform::PrepareDeviceRoot(error) || !platform::RememberPortPath(number, target, error)) {
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

int Run(const Command& command) {
    if (command.root) {
        platform::SetDeviceRoot(*command.root);
    }
    const Setting* setting = setting_catalog::FindSetting(command.name);
    switch (command.action) {
    case Action::List:
        return List();
    case Action::Get:
        return Get(*setting);
    case Action::Set:
        return Set(*setting, command.value);
    case Action::Reset:
        return Reset();
    case Action::Port:
        return Port(command.port, command.path);
    case Action::Status:
        return config_tool::ShowStatus(command.json);
    case Action::Help:
    case Action::Version:
        break;
    }
    return kDone;
}

} // namespace

int main(int argc, char** argv) {
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
