#include "config_command.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "host/setting_text.h"
#include "platform/core/message_text.h"

namespace config_tool {
namespace {

const char* const kUsage = R"(Usage: swipetype-config [--root DIR] list [--json]
  or:  swipetype-config [--root DIR] get NAME
  or:  swipetype-config [--root DIR] set NAME VALUE
  or:  swipetype-config [--root DIR] reset
  or:  swipetype-config [--root DIR] export
  or:  swipetype-config [--root DIR] import FILE
  or:  swipetype-config [--root DIR] check
  or:  swipetype-config [--root DIR] port COMn: [PATH]
  or:  swipetype-config [--root DIR] status [--json]
Shows and changes the settings of Swipetype in a device root, from a shell.

  list            the settings: name, value and meaning
  list --json     the settings as one JSON object, name to value
  get NAME        the value of one setting
  set NAME VALUE  changes one setting
  reset           puts every setting back to its default
  export          the settings as a registry file (hive text) on standard output
  import FILE     sets the settings that such a file names, all or none ("-":
                  standard input)
  check           checks the values stored in the registry hive: each one that
                  Swipetype cannot take as written, and each unknown name
  port COMn:      the device remembered for the port; with PATH, remembers it
                  (a USB serial device by its /dev/serial/by-id name), with ""
                  forgets it
  status          whether Swipetype runs on the device root: its pid, version
                  and start, the reader's port, device and state (open, silent:
                  open but an RFID reader gives no answer, waiting or off), when
                  an RFID reader last answered, the key sink and its state
                  (typing, lost since when, none), the reads since it started
                  (good: typed; bad; dropped: good but not typed) and the time
                  of the last; exit status 0 when reads become keys (the reader
                  open and answering, the sink typing), 3 when none runs, 4
                  otherwise. Root may ask for any user's status.
  status --json   the same as one JSON object, with the keys running, pid,
                  version, started, port, device, reader, reader_answering,
                  sink, keys (sink, state, since), good_reads, bad_reads,
                  dropped_reads, last_read

  --root DIR      device root (env SWIPETYPE_ROOT; default $XDG_DATA_HOME/swipetype)
  --timeout SECONDS
                  give up on the running program when it gives no answer in
                  that time (default 5); a stopped one is named at once
  -h, --help      show this help and exit
  --version       show the version and exit

)";

const char* const kEpilogue = R"(
When Swipetype runs on the device root, list, get and export show what it
holds, and set, reset and import go through it: a change takes effect at once,
as the options dialog's would (an interval from the next time the reader
starts), and is saved at once. Otherwise the registry hive is read, and changed
under its lock, every other value left as it was; AutoStart also writes or
removes the startup file, naming the swipetype program beside this one. list,
get, export and check never create or change anything. A Swipetype that runs
on the device root but cannot be reached (it runs as another user, or does not
answer) is never worked around: the command fails instead.
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
    const SettingEntry* setting = setting_text::Find(words[1]);
    if (setting == nullptr) {
        return Fail(setting_text::UnknownSettingLine(words[1]));
    }
    command.name = setting_text::NameOf(*setting);
    if (command.action != Action::Set) {
        return "";
    }
    SettingsRecord value{};
    std::string error;
    if (!setting_text::TakeWord(*setting, words[2], value, error)) {
        return Fail(error);
    }
    command.value = setting_text::ValueOf(*setting, value);
    return "";
}

struct Shape {
    const char* word;
    Action action;
    std::size_t count; // words with the action's own
};

const Shape kShapes[] = {
    {"list", Action::List, 1},   {"get", Action::Get, 2},       {"set", Action::Set, 3},
    {"reset", Action::Reset, 1}, {"export", Action::Export, 1}, {"import", Action::Import, 2},
    {"check", Action::Check, 1}, {"port", Action::Port, 2},     {"status", Action::Status, 1}};

// What an action takes beside its fixed words: list's and status's --json,
// port's PATH.
bool Fits(const Shape& shape, const std::vector<std::string>& words) {
    if (words.size() == shape.count) {
        return true;
    }
    if (words.size() != shape.count + 1) {
        return false;
    }
    bool json = shape.action == Action::List || shape.action == Action::Status;
    return shape.action == Action::Port || (json && words[1] == "--json");
}

// The words after the options: the action and what it takes.
std::string ParseAction(const std::vector<std::string>& words, Command& command) {
    for (const Shape& shape : kShapes) {
        if (words[0] != shape.word) {
            continue;
        }
        if (!Fits(shape, words)) {
            return Fail("wrong number of words for " + words[0] + " (see --help)");
        }
        command.action = shape.action;
        switch (shape.action) {
        case Action::List:
        case Action::Status:
            command.json = words.size() == 2;
            return "";
        case Action::Import:
            command.file = words[1];
            return "";
        case Action::Port:
            if (!ParsePortName(words[1], command.port)) {
                return Fail("port wants COMn: with n from 1 to 255, not " +
                            platform::QuoteForMessage(words[1]));
            }
            command.path = words.size() == 3 ? std::optional<std::string>(words[2]) : std::nullopt;
            return "";
        default:
            return shape.count >= 2 ? ParseSettingWords(words, command) : "";
        }
    }
    return Fail("unknown action " + platform::QuoteForMessage(words[0]) +
                "; give list, get, set, reset, export, import, check, port or status");
}

// --timeout's seconds, to the nearest millisecond, never 0 (that would not wait).
std::string ParseTimeout(const std::string& text, Command& command) {
    double seconds = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc() || end != text.data() + text.size() || !(seconds > 0) ||
        seconds > 86400) {
        return Fail("--timeout wants seconds above 0, up to 86400, not " +
                    platform::QuoteForMessage(text));
    }
    command.timeout = std::chrono::milliseconds(std::max(1LL, std::llround(seconds * 1000)));
    return "";
}

// What the first setting of a kind takes, without a row's own words.
std::string AllowedFor(SettingKind kind) {
    for (const SettingEntry& setting : SettingCatalog) {
        if (setting.kind == kind && setting.onWord == nullptr) {
            return setting_text::Allowed(setting);
        }
    }
    return "";
}

// --root DIR and --timeout SECONDS (also --root=DIR, --timeout=SECONDS) at
// arguments[i], moving `i` past a separate value; the error line, or "".
std::string ParseValueOption(const std::vector<std::string>& arguments, std::size_t& i,
                             Command& command) {
    const std::string& option = arguments[i];
    bool root = option == "--root" || option.starts_with("--root=");
    if (!root && option != "--timeout" && !option.starts_with("--timeout=")) {
        return Fail("unknown option " + platform::QuoteForMessage(option) + " (see --help)");
    }
    std::size_t name = root ? 6 : 9;
    bool inlineValue = option.size() > name;
    if (!inlineValue && i + 1 >= arguments.size()) {
        return Fail(root ? "--root needs a folder" : "--timeout needs seconds");
    }
    std::string value = inlineValue ? option.substr(name + 1) : arguments[++i];
    if (!root) {
        return ParseTimeout(value, command);
    }
    if (value.empty()) {
        return Fail("--root needs a folder");
    }
    command.root = value;
    return "";
}

} // namespace

ParseResult ParseCommand(const std::vector<std::string>& arguments) {
    ParseResult result;
    std::size_t i = 0;
    for (; i < arguments.size() && arguments[i].starts_with("-"); ++i) {
        const std::string& option = arguments[i];
        if (option == "--") {
            ++i;
            break;
        }
        if (option == "-h" || option == "--help" || option == "--version") {
            result.command.action = option == "--version" ? Action::Version : Action::Help;
            return result;
        }
        result.error = ParseValueOption(arguments, i, result.command);
        if (!result.error.empty()) {
            return result;
        }
    }
    std::vector<std::string> words(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                                   arguments.end());
    if (words.empty()) {
        result.error = Fail("give an action: list, get, set, reset, export, import, check, port "
                            "or status (see --help)");
        return result;
    }
    result.error = ParseAction(words, result.command);
    return result;
}

std::string UsageText() {
    std::string text = kUsage;
    text += "Settings (NAME is the registry value name), with their defaults:\n";
    SettingsRecord defaults = DefaultSettings();
    std::string ownWords;
    for (const SettingEntry& setting : SettingCatalog) {
        std::string head =
            setting_text::NameOf(setting) + " (" + setting_text::Shown(setting, defaults) + ")";
        char line[256];
        std::snprintf(line, sizeof line, "  %-21s %s\n", head.c_str(), setting.help);
        text += line;
        if (setting.onWord != nullptr) {
            ownWords += " (" + setting_text::NameOf(setting) + " also " + setting.onWord + " or " +
                        setting.offWord + ")";
        }
    }
    text += "A flag takes " + AllowedFor(kFlagSetting) + ownWords + "; an interval takes " +
            AllowedFor(kIntervalSetting) + "; a text takes " + AllowedFor(kTextSetting) + ".\n";
    // The settings that take one of a few values, each on its own line.
    for (const SettingEntry& setting : SettingCatalog) {
        if (setting.wordCount > 0 || setting.kind == kRateSetting) {
            text +=
                setting_text::NameOf(setting) + " takes " + setting_text::Allowed(setting) + ".\n";
        }
    }
    return text + kEpilogue;
}

} // namespace config_tool
