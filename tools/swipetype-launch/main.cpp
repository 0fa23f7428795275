// swipetype-launch: the boot launcher that stands in for the terminal's own. It
// starts the program of every startup file in the startup folder of a device
// root, and can install itself to run at every login.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "autostart_entry.h"
#include "detached_start.h"
#include "launch_options.h"
#include "platform/core/codepage.h"
#include "platform/core/system.h"
#include "platform/core/unicode.h"
#include "platform/fs/device_root.h"
#include "startup_file.h"
#include "startup_folder.h"

namespace {

using launcher::LaunchOptions;

constexpr int kAllStarted = 0;
constexpr int kFailed = 1; // a startup file skipped, or nothing could be started
constexpr int kUsageError = 2;

void Say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout); // before a started program writes to the same output
}

int Fail(const std::string& line, int status) {
    std::fputs(("swipetype-launch: " + line + "\n").c_str(), stderr);
    return status;
}

// Starts the program of one startup file; false when it was skipped.
bool LaunchOne(const std::string& folder, const std::string& name) {
    launcher::StartupEntry entry;
    std::string reason;
    if (!launcher::ReadStartupFile(folder + "/" + name, entry, reason)) {
        Say("skipped " + name + ": " + reason);
        return false;
    }
    pid_t pid = 0;
    std::vector<std::pair<std::string, std::string>> environment{
        {"SWIPETYPE_ROOT", platform::DeviceRoot()}};
    if (!launcher::StartDetached(entry.program, entry.arguments, environment, pid, reason)) {
        Say("skipped " + name + ": " + reason);
        return false;
    }
    std::string command = entry.program;
    if (!entry.commandLine.empty()) {
        command += " " + entry.commandLine;
    }
    Say("started " + name + ": " + command + " (pid " + std::to_string(pid) + ")");
    return true;
}

int Launch() {
    std::string error;
    if (!platform::PrepareDeviceRoot(error)) {
        return Fail(error, kFailed);
    }
    std::u16string folder = launcher::StartupFolder();
    std::string hostFolder;
    if (platform::DeviceToHostPath(folder, hostFolder) != ERROR_SUCCESS) {
        return Fail("the startup folder " + platform::Utf16ToUtf8(folder) +
                        " lies outside the device",
                    kFailed);
    }
    std::vector<std::string> names;
    if (!launcher::ListStartupFiles(hostFolder, names, error)) {
        if (!std::filesystem::exists(hostFolder)) {
            Say("no startup folder " + hostFolder + ": nothing to start");
            return kAllStarted;
        }
        return Fail(error, kFailed);
    }
    bool allStarted = true;
    for (const std::string& name : names) {
        allStarted = LaunchOne(hostFolder, name) && allStarted;
    }
    return allStarted ? kAllStarted : kFailed;
}

int Install(const LaunchOptions& options) {
    std::error_code ignored;
    std::vector<std::string> command{std::filesystem::read_symlink("/proc/self/exe", ignored)};
    // A root named now, by option or environment, is the one to use at login.
    if (options.root || std::getenv("SWIPETYPE_ROOT") != nullptr) {
        command.insert(command.end(), {"--root", platform::DeviceRoot()});
    }
    if (options.codePageGiven) {
        command.insert(command.end(), {"--codepage", options.codePage == 1252 ? "1252" : "utf-8"});
    }
    std::string error;
    if (command.front().empty() || !launcher::InstallAutostartEntry(command, error)) {
        return Fail(error.empty() ? "cannot find this program's path" : error, kFailed);
    }
    Say("installed " + launcher::AutostartEntryPath());
    return kAllStarted;
}

int Uninstall() {
    bool existed = false;
    std::string error;
    if (!launcher::UninstallAutostartEntry(existed, error)) {
        return Fail(error, kFailed);
    }
    Say((existed ? "removed " : "not installed: no ") + launcher::AutostartEntryPath());
    return kAllStarted;
}

} // namespace

int main(int argc, char** argv) {
    platform::SetDebugLineName("swipetype-launch");
    launcher::ParsedOptions parsed =
        launcher::ParseLaunchOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        return Fail(parsed.error, kUsageError);
    }
    const LaunchOptions& options = parsed.options;
    platform::SetAnsiCodePage(options.codePage);
    if (options.root) {
        platform::SetDeviceRoot(*options.root);
    }
    switch (options.action) {
    case launcher::Action::Help:
        std::fputs(launcher::UsageText().c_str(), stdout);
        return 0;
    case launcher::Action::Version:
        Say("swipetype-launch " SWIPETYPE_VERSION);
        return 0;
    case launcher::Action::Install:
        return Install(options);
    case launcher::Action::Uninstall:
        return Uninstall();
    case launcher::Action::Launch:
        break;
    }
    return Launch();
}
