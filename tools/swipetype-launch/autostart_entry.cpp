#include "autostart_entry.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/atomic_file.h"
#include "platform/core/errors.h"

namespace launcher {
namespace {

constexpr std::string_view kReserved = " \t\"'\\><~|&;$*?#()`";

std::string ConfigFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return config;
    }
    const char* home = std::getenv("HOME");
    return home != nullptr && home[0] != '\0' ? std::string(home) + "/.config" : "";
}

std::string EntryText(const std::vector<std::string>& command, std::string& error) {
    std::string exec;
    for (const std::string& argument : command) {
        std::string quoted = DesktopExecArgument(argument);
        if (quoted.empty()) {
            error = "cannot put a line break into an autostart entry: " + argument;
            return "";
        }
        exec += (exec.empty() ? "" : " ") + quoted;
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Swipetype launcher\n"
           "Comment=Starts the programs in the Swipetype startup folder\n"
           "Exec=" +
           exec +
           "\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool WriteAtomically(const std::string& path, const std::string& text, std::string& error) {
    platform::FileReplacement how;
    how.mode = 0644;
    how.keepOwner = false;
    platform::ReplaceFailure failure;
    if (platform::ReplaceFile(path, text, how, failure)) {
        return true;
    }
    error = failure.Sentence(path);
    return false;
}

} // namespace

std::string AutostartEntryPath() {
    std::string config = ConfigFolder();
    return config.empty() ? "" : config + "/autostart/swipetype-launch.desktop";
}

bool InstallAutostartEntry(const std::vector<std::string>& command, std::string& error) {
    std::string config = ConfigFolder();
    if (config.empty()) {
        error = "no configuration folder: set HOME or XDG_CONFIG_HOME";
        return false;
    }
    std::string text = EntryText(command, error);
    if (text.empty()) {
        return false;
    }
    // The XDG base directory rules ask for 0700 on folders it creates.
    if ((::mkdir(config.c_str(), 0700) != 0 && errno != EEXIST) ||
        (::mkdir((config + "/autostart").c_str(), 0700) != 0 && errno != EEXIST)) {
        error = "cannot create " + config + "/autostart: " + platform::ErrorText();
        return false;
    }
    return WriteAtomically(AutostartEntryPath(), text, error);
}

bool UninstallAutostartEntry(bool& existed, std::string& error) {
    std::string path = AutostartEntryPath();
    existed = false;
    if (path.empty()) {
        return true;
    }
    if (::unlink(path.c_str()) == 0) {
        existed = true;
        return true;
    }
    if (errno == ENOENT) {
        return true;
    }
    error = platform::SystemError("cannot remove " + path);
    return false;
}

std::string DesktopExecArgument(std::string_view argument) {
    if (argument.find_first_of("\r\n") != std::string_view::npos) {
        return "";
    }
    bool needsQuotes =
        argument.empty() || argument.find_first_of(kReserved) != std::string_view::npos;
    std::string out = needsQuotes ? "\"" : "";
    for (char c : argument) {
        if (c == '%') {
            out += "%%"; // not a field code
        } else if (needsQuotes && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            // Escaped for the quoting, and the backslash once more for the
            // string value that the Exec key is.
            out += "\\\\";
            out += c == '\\' ? "\\\\" : std::string(1, c);
        } else {
            out += c;
        }
    }
    return needsQuotes ? out + "\"" : out;
}

} // namespace launcher
