#include "host/options.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "platform/core/event_log.h"
#include "platform/core/message_text.h"
#include "platform/keyboard/key_delay.h"
#include "platform/keyboard/key_sink_registry.h"

namespace host {
namespace {

constexpr int kLargestPort = 255;

const char* const kUsageStart =
    R"(Usage: swipetype [OPTION]... [--] [COMMAND LINE]
Reads a magnetic stripe or RFID card reader on a serial port and types what it
reads into the application that has the keyboard focus.

  --root DIR           device root: registry, startup folder, files
                       (env SWIPETYPE_ROOT; default $XDG_DATA_HOME/swipetype)
  --port COMn:=PATH    host device standing for COMn: (repeatable;
                       env SWIPETYPE_COMn), remembered in the device root for
                       later starts without one; a USB serial device is
                       remembered by its /dev/serial/by-id name. COMn:= with no
                       PATH forgets it (default /dev/ttyS<n-1>)
  --keys SINK          where key events go (env SWIPETYPE_KEYS):
)";

const char* const kUsageEnd =
    R"(  --layout XKB         keyboard layout the uinput sink types for, instead of
                       the session's own: the Wayland compositor's, the X
                       server's, else the console's (/etc/default/keyboard)
                       (env XKB_DEFAULT_LAYOUT)
  --key-delay MS       pause between key events, 0 to @LONGEST@; default 0,
                       back to back (env SWIPETYPE_KEY_DELAY)
  --log FILE           event log, one JSON object per line (env SWIPETYPE_LOG)
  --ui FRONT           headless | gtk: who shows the windows (env SWIPETYPE_UI;
                       default gtk when a Wayland compositor (WAYLAND_DISPLAY)
                       or an X server (DISPLAY) is usable, else headless)
  --codepage CP        ANSI code page for narrow text: 1252 (default) or utf-8
  --list-ports         list the serial devices of this machine and exit
  -h, --help           show this help and exit
  --version            show the version and exit

The COMMAND LINE is the program's own: exactly "MIN" starts it with its window
hidden (in the tray; minimised where the desktop has no tray); anything else
starts it shown, and says so.
SIGINT, SIGTERM and SIGHUP end it as its Exit command does (settings saved);
after SIGHUP the exit status is 129. SIGUSR1 reopens the event log and takes
the hive again.
A sink whose display or device goes away is waited for: reads made meanwhile
are dropped, never typed later.
)";

constexpr std::size_t kHelpWidth = 79;

// Appends `text` as lines of at most kHelpWidth columns, the first starting
// with `first` and the others indented to its width.
void AppendWrapped(std::string& usage, const std::string& first, const std::string& text) {
    std::string indent(first.size(), ' ');
    std::string line = first;
    bool empty = true;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        std::string word = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        if (!empty && line.size() + 1 + word.size() > kHelpWidth) {
            usage += line + "\n";
            line = indent;
            empty = true;
        }
        line += (empty ? "" : " ") + word;
        empty = false;
    }
    usage += line + "\n";
}

// The sinks in the order the default choice tries them in a session.
std::string DefaultOrder(bool wayland) {
    std::vector<const platform::KeySinkKind*> order;
    for (const platform::KeySinkKind& kind : platform::KeySinkKinds()) {
        if ((wayland ? kind.waylandOrder : kind.x11Order) > 0) {
            order.push_back(&kind);
        }
    }
    std::sort(order.begin(), order.end(), [wayland](auto* a, auto* b) {
        return wayland ? a->waylandOrder < b->waylandOrder : a->x11Order < b->x11Order;
    });
    std::string text;
    for (const platform::KeySinkKind* kind : order) {
        text += std::string(kind->name) +
                (wayland && kind->onlyX11UnderWayland ? " (X11 applications only)" : "") +
                ", else ";
    }
    return text + "none";
}

// The sinks of the table, each with what it reaches, and the default order.
std::string KeySinkUsage() {
    std::string usage;
    const std::string optionIndent(23, ' ');
    for (const platform::KeySinkKind& kind : platform::KeySinkKinds()) {
        std::string name = kind.name;
        name.resize(std::max<std::size_t>(name.size() + 1, 9), ' ');
        AppendWrapped(usage, optionIndent + "  " += name, kind.help);
    }
    AppendWrapped(usage, optionIndent,
                  "default under X11: " + DefaultOrder(false) +
                      "; under Wayland (WAYLAND_DISPLAY set or XDG_SESSION_TYPE=wayland): " +
                      DefaultOrder(true));
    return usage;
}

// "COMn:=PATH" with n from 1 to 255; an empty PATH forgets the port's device.
bool ParsePort(const std::string& text, PortMapping& mapping) {
    auto equals = text.find('=');
    if (equals == std::string::npos) {
        return false;
    }
    std::string name = text.substr(0, equals);
    if (name.size() < 5 || (name.compare(0, 3, "COM") != 0 && name.compare(0, 3, "com") != 0) ||
        name.back() != ':') {
        return false;
    }
    int number = 0;
    const char* first = name.data() + 3;
    const char* last = name.data() + name.size() - 1;
    auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last || number < 1 || number > kLargestPort) {
        return false;
    }
    mapping = {number, text.substr(equals + 1)};
    return true;
}

bool ParseCodePage(const std::string& text, unsigned& codePage) {
    if (text == "1252" || text == "cp1252" || text == "windows-1252") {
        codePage = 1252;
        return true;
    }
    if (text == "utf-8" || text == "utf8" || text == "UTF-8" || text == "65001") {
        codePage = 65001;
        return true;
    }
    return false;
}

// Applies one option with its value; returns an error line or "".
std::string Apply(const std::string& name, const std::string& value, HostOptions& options) {
    if (name == "--root") {
        options.root = value;
    } else if (name == "--port") {
        PortMapping mapping;
        if (!ParsePort(value, mapping)) {
            return "swipetype: --port wants COMn:=PATH (n from 1 to 255, PATH empty to forget), "
                   "not " +
                   platform::QuoteForMessage(value);
        }
        options.ports.push_back(mapping);
    } else if (name == "--keys") {
        if (platform::FindKeySinkKind(value) == nullptr) {
            return "swipetype: --keys wants " + platform::KeySinkNameList() + ", not " +
                   platform::QuoteForMessage(value);
        }
        options.keys = value;
    } else if (name == "--layout") {
        options.layout = value;
    } else if (name == "--key-delay") {
        std::string error;
        if (!platform::ParseKeyDelay(value, options.keyDelay, error)) {
            return "swipetype: --key-delay " + error;
        }
    } else if (name == "--log") {
        options.log = value;
    } else if (name == "--ui") {
        if (value != "headless" && value != "gtk") {
            return "swipetype: --ui wants headless or gtk, not " + platform::QuoteForMessage(value);
        }
        options.ui = value;
    } else if (name == "--codepage") {
        if (!ParseCodePage(value, options.codePage)) {
            return "swipetype: --codepage wants 1252 or utf-8, not " +
                   platform::QuoteForMessage(value);
        }
    } else {
        return "swipetype: unknown option " + platform::QuoteForMessage(name) +
               " (see swipetype --help)";
    }
    return "";
}

bool TakesValue(const std::string& name) {
    return name == "--root" || name == "--port" || name == "--keys" || name == "--layout" ||
           name == "--key-delay" || name == "--log" || name == "--ui" || name == "--codepage";
}

// Environment values give the defaults that options then override.
std::string ApplyEnvironment(const Environment& environment, HostOptions& options) {
    const std::pair<const char*, const char*> variables[] = {
        {"SWIPETYPE_ROOT", "--root"},       {"SWIPETYPE_KEYS", "--keys"},
        {"XKB_DEFAULT_LAYOUT", "--layout"}, {"SWIPETYPE_KEY_DELAY", "--key-delay"},
        {"SWIPETYPE_LOG", "--log"},         {"SWIPETYPE_UI", "--ui"},
    };
    for (const auto& [variable, option] : variables) {
        std::optional<std::string> value = environment(variable);
        if (value && !value->empty()) {
            std::string error = Apply(option, *value, options);
            if (!error.empty()) {
                return error + " in " + variable;
            }
            if (std::string(option) != "--root") {
                options.given.emplace_back(variable);
            }
        }
    }
    for (int number = 1; number <= kLargestPort; ++number) {
        std::string variable = "SWIPETYPE_COM" + std::to_string(number);
        std::optional<std::string> value = environment(variable);
        if (value && !value->empty()) {
            options.ports.push_back({number, *value});
            options.given.push_back(variable);
        }
    }
    return "";
}

} // namespace

Environment ProcessEnvironment() {
    return [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    };
}

ParseResult ParseHostOptions(const std::vector<std::string>& arguments,
                             const Environment& environment) {
    ParseResult result;
    HostOptions& options = result.options;
    result.error = ApplyEnvironment(environment, options);
    if (!result.error.empty()) {
        return result;
    }
    std::size_t i = 0;
    for (; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") {
            ++i;
            break;
        }
        if (argument.rfind("--", 0) != 0 && argument != "-h") {
            break; // the program's own command line starts here
        }
        if (argument == "-h" || argument == "--help") {
            options.help = true;
            continue;
        }
        if (argument == "--version") {
            options.version = true;
            continue;
        }
        if (argument == "--list-ports") {
            options.listPorts = true;
            continue;
        }
        std::string name = argument;
        std::string value;
        auto equals = argument.find('=');
        if (equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        } else if (TakesValue(name)) {
            if (i + 1 >= arguments.size()) {
                result.error = "swipetype: " + name + " needs a value (see swipetype --help)";
                return result;
            }
            value = arguments[++i];
        }
        result.error = Apply(name, value, options);
        if (!result.error.empty()) {
            return result;
        }
        if (name != "--root") {
            options.given.push_back(name);
        }
    }
    options.commandLine.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end());
    return result;
}

std::u16string JoinCommandLine(const std::vector<std::string>& arguments) {
    std::u16string line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) {
            line += u' ';
        }
        line += platform::Utf8ToUtf16(arguments[i]);
    }
    return line;
}

std::string UsageText() {
    std::string end = kUsageEnd;
    end.replace(end.find("@LONGEST@"), 9, std::to_string(platform::kLongestKeyDelay.count()));
    return kUsageStart + KeySinkUsage() + end;
}

std::string DescribeCommandLine(const std::vector<std::string>& commandLine) {
    if (commandLine.empty() || commandLine == std::vector<std::string>{"MIN"}) {
        return "";
    }
    std::string joined;
    for (const std::string& argument : commandLine) {
        joined += (joined.empty() ? "" : " ") + argument;
    }
    std::string line = "swipetype: the command line " + platform::QuoteForMessage(joined) +
                       " is not exactly MIN, so the window is shown at start";
    for (const std::string& argument : commandLine) {
        if (argument.rfind("/dev/", 0) == 0) {
            return line.append("; did you mean --port COM1:=").append(argument).append("?");
        }
        std::string name = argument.substr(0, argument.find('='));
        std::size_t start = name.find_first_not_of('-');
        if (start != std::string::npos && start > 0) {
            std::string option = "--" + name.substr(start);
            if (TakesValue(option) || option == "--list-ports" || option == "--version") {
                return line.append("; did you mean the option ")
                    .append(option)
                    .append("? Options come before the command line");
            }
            return line.append("; options start with -- and come before it (see swipetype --help)");
        }
    }
    return line;
}

} // namespace host
