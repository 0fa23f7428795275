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
  or:  swipetype-config [--root DIR] import [--dry-run] FILE
  or:  swipetype-config [--root DIR] check [FILE]
  or:  swipetype-config [--root DIR] port COMn: [PATH]
  or:  swipetype-config [--root DIR] status [--json]
  or:  swipetype-config [--root DIR] init
Shows and changes the settings of Swipetype in a device root, from a shell.
Options may also follow the action.

  list            the settings: name, value and meaning
  list --json     the settings as one JSON object, name to value
  get NAME        the value of one setting
  set NAME VALUE  changes one setting ("unchanged" when it has that value)
  reset           puts every setting back to its default
  export          the settings as a registry file (hive text) on standard output
  import FILE     sets the settings that such a file names, all or none ("-":
                  standard input); "unchanged" when each has its value already
  import --dry-run FILE
                  changes nothing: a JSON object a line for each setting the
                  import would change, {"name":..,"old":..,"new":..}
  check           checks the values stored in the registry hive: each one that
                  Swipetype cannot take as written, and each unknown name; a
                  device root without a hive fails
  check FILE      checks a registry file before it is imported
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

  init            creates the device root; every other action fails on a device
                  root that does not exist

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
get, export and check never create or change anything. A hive that does not
parse is never changed: set, import and port then fail, naming its bad line.
Files written keep the owner, group and mode of the file they replace (a new
one takes its folder's owner), so root may change a till user's settings; a
change that could not keep them is refused. Values the hive does not hold are
taken from /etc/swipetype/defaults.reg (env SWIPETYPE_DEFAULTS) when it
exists, else from the defaults below. A Swipetype that runs
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
    std::size_t count;    // words with the action's own
    std::size_t optional; // words it may take beside them
};

const Shape kShapes[] = {{"list", Action::List, 1, 0},     {"get", Action::Get, 2, 0},
                         {"set", Action::Set, 3, 0},       {"reset", Action::Reset, 1, 0},
                         {"export", Action::Export, 1, 0}, {"import", Action::Import, 2, 0},
                         {"check", Action::Check, 1, 1},   {"port", Action::Port, 2, 1},
                         {"status", Action::Status, 1, 0}, {"init", Action::Init, 1, 0}};

// The words after the options: the action and what it takes.
std::string ParseAction(const std::vector<std::string>& words, Command& command) {
    for (const Shape& shape : kShapes) {
        if (words[0] != shape.word) {
            continue;
        }
        if (words.size() < shape.count || words.size() > shape.count + shape.optional) {
            return Fail("wrong number of words for " + words[0] + " (see --help)");
        }
        command.action = shape.action;
        switch (shape.action) {
        case Action::Import:
        case Action::Check:
            command.file = words.size() > 1 ? words[1] : "";
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
                "; give list, get, set, reset, export, import, check, port, status or init");
}

// --json and --dry-run belong to some actions only.
std::string CheckOptionFits(const Command& command) {
    if (command.json && command.action != Action::List && command.action != Action::Status) {
        return Fail("--json goes with list and status only");
    }
    if (command.dryRun && command.action != Action::Import) {
        return Fail("--dry-run goes with import only");
    }
    return "";
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

// One option at arguments[i] (moving i past its value); false when it is no
// option of this tool. `error` is set for an option used wrongly.
bool TakeOption(const std::vector<std::string>& arguments, std::size_t& i, ParseResult& result) {
    const std::string& option = arguments[i];
    if (option == "-h" || option == "--help" || option == "--version") {
        result.command.action = option == "--version" ? Action::Version : Action::Help;
        return true;
    }
    if (option == "--json" || option == "--dry-run") {
        (option == "--json" ? result.command.json : result.command.dryRun) = true;
        return true;
    }
    bool valueOption = option == "--root" || option.starts_with("--root=") ||
                       option == "--timeout" || option.starts_with("--timeout=");
    if (!valueOption) {
        return false;
    }
    result.error = ParseValueOption(arguments, i, result.command);
    return true;
}

} // namespace

ParseResult ParseCommand(const std::vector<std::string>& arguments) {
    ParseResult result;
    std::vector<std::string> words;
    bool optionsEnded = false;
    bool helpAsked = false;
    for (std::size_t i = 0; i < arguments.size() && result.error.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || !argument.starts_with("-") || argument == "-") {
            words.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (TakeOption(arguments, i, result)) {
            helpAsked = helpAsked || result.command.action == Action::Help ||
                        result.command.action == Action::Version;
            if (helpAsked) {
                return result;
            }
        } else if (words.empty() || words[0] != "set") {
            result.error =
                Fail("unknown option " + platform::QuoteForMessage(argument) + " (see --help)");
        } else {
            words.push_back(argument); // a value that starts with a dash: set Prefix -x
        }
    }
    if (!result.error.empty()) {
        return result;
    }
    if (words.empty()) {
        result.error = Fail("give an action: list, get, set, reset, export, import, check, port, "
                            "status or init (see --help)");
        return result;
    }
    result.error = ParseAction(words, result.command);
    if (result.error.empty()) {
        result.error = CheckOptionFits(result.command);
    }
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
