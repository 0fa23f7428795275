#include "config_command.h"

#include <charconv>

#include "host/setting_catalog.h"
#include "status_command.h"

namespace config_tool {
namespace {

const char* const kUsage = R"(Usage: swipetype-config [--root DIR] list
  or:  swipetype-config [--root DIR] get NAME
  or:  swipetype-config [--root DIR] set NAME VALUE
  or:  swipetype-config [--root DIR] reset
  or:  swipetype-config [--root DIR] port COMn: [PATH]
  or:  swipetype-config [--root DIR] status [--json]
Shows and changes the settings of Swipetype in a device root, from a shell.

  list            the fourteen settings: name, value and meaning
  get NAME        the value of one setting
  set NAME VALUE  changes one setting
  reset           puts every setting back to its default
  port COMn:      the device remembered for the port; with PATH, remembers it
                  (a USB serial device by its /dev/serial/by-id name), with ""
                  forgets it
  status          whether Swipetype runs on the device root: its pid, the
                  reader's port, device and state (open, waiting or off), the
                  key sink, good and bad reads since it started and the time of
                  the last; --json gives one object with the keys running, pid,
                  port, device, reader, sink, good_reads, bad_reads, last_read

  --root DIR      device root (env SWIPETYPE_ROOT; default $XDG_DATA_HOME/swipetype)
  -h, --help      show this help and exit
  --version       show the version and exit

NAME is a registry value name: Enable, UseMSR, Beep, Prefix, Suffix, SendTab,
SendEnter, UseTrack1, UseTrack2, UseTrack3, TrackSeparator, AutoStart,
MSRInterval, RFIDInterval. A flag takes on, off, 1, 0, yes or no (UseMSR also
msr or rfid); an interval takes milliseconds from 10 to 86400000; a text takes
up to 1023 characters of UTF-8.

When Swipetype runs on the device root, the change goes through it: it takes
effect at once, as the options dialog's would (an interval from the next time
the reader starts), and is saved at once. Otherwise the registry hive is
changed under its lock, every other value left as it was; AutoStart also
writes or removes the startup file, naming the swipetype program beside this one.

A Swipetype that runs on the device root but cannot be reached (it runs as
another user) is never worked around: the command fails instead.

Exit status: 0 on success, 1 when a change cannot be made or saved, 2 for a
bad command line, name or value (nothing is changed then). status: 0 when
Swipetype runs and its reader is open, 3 when none runs on the device root, 4
when it runs but its reader is not open.
)";

std::string Fail(const std::string& line) {
    return "swipetype-config: " + line;
}

// "COMn:" (the colon optional) with n from 1 to 255.
bool ParsePortName(const std::string& text, int& number) {
    std::string_view name = text;
    if (name.ends_with(':')) {
        name.remove_suffix(1);
    }
    if (name.size() < 4 || (name.substr(0, 3) != "COM" && name.substr(0, 3) != "com")) {
        return false;
    }
    auto [end, error] = std::from_chars(name.data() + 3, name.data() + name.size(), number);
    return error == std::errc() && end == name.data() + name.size() && number >= 1 && number <= 255;
}

// The setting get and set name, and the value set gives it.
std::string ParseSettingWords(const std::vector<std::string>& words, Command& command) {
    const setting_catalog::Setting* setting = setting_catalog::FindSetting(words[1]);
    if (setting == nullptr) {
        return Fail(setting_catalog::UnknownSettingLine(words[1]));
    }
    command.name = setting->name;
    if (command.action != Action::Set) {
        return "";
    }
    std::string error;
    std::optional<std::string> value = setting_catalog::ParseValue(*setting, words[2], error);
    if (!value) {
        return Fail(error);
    }
    command.value = *value;
    return "";
}

// The words after the options: the action and what it takes.
std::string ParseAction(const std::vector<std::string>& words, Command& command) {
    struct Shape {
        const char* word;
        Action action;
        std::size_t count; // words with the action's own
    };
    static const Shape kShapes[] = {{"list", Action::List, 1},
                                    {"get", Action::Get, 2},
                                    {"set", Action::Set, 3},
                                    {"reset", Action::Reset, 1},
                                    {"port", Action::Port, 2}};
    if (words[0] == "status") {
        return ParseStatusWords(words, command);
    }
    for (const Shape& shape : kShapes) {
        if (words[0] != shape.word) {
            continue;
        }
        bool portWithPath = shape.action == Action::Port && words.size() == 3;
        if (words.size() != shape.count && !portWithPath) {
            return Fail("wrong number of words for " + words[0] + " (see --help)");
        }
        command.action = shape.action;
        if (shape.action == Action::Port) {
            if (!ParsePortName(words[1], command.port)) {
                return Fail("port wants COMn: with n from 1 to 255, not '" + words[1] + "'");
            }
            command.path = portWithPath ? std::optional<std::string>(words[2]) : std::nullopt;
            return "";
        }
        return shape.count >= 2 ? ParseSettingWords(words, command) : "";
    }
    return Fail("unknown action '" + words[0] + "'; give list, get, set, reset, port or status");
}

} // namespace

ParseResult ParseCommand(const std::vector<std::string>& arguments) {
    ParseResult result;
    std::size_t i = 0;
    for (; i < arguments.size() && arguments[i].starts_with("-"); ++i) {
        const std::string& option = arguments[i];
        if (option == "-h" || option == "--help" || option == "--version") {
            result.command.action = option == "--version" ? Action::Version : Action::Help;
            return result;
        }
        if (option == "--root" && i + 1 >= arguments.size()) {
            result.error = Fail("--root needs a folder");
            return result;
        }
        if (option == "--root") {
            result.command.root = arguments[++i];
        } else if (option.starts_with("--root=")) {
            result.command.root = option.substr(7);
        } else {
            result.error = Fail("unknown option '" + option + "' (see --help)");
            return result;
        }
    }
    std::vector<std::string> words(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                                   arguments.end());
    if (words.empty()) {
        result.error = Fail("give list, get NAME, set NAME VALUE, reset or port COMn: [PATH]");
        return result;
    }
    result.error = ParseAction(words, result.command);
    return result;
}

std::string UsageText() {
    return kUsage;
}

} // namespace config_tool
