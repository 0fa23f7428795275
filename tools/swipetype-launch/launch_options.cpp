#include "launch_options.h"

#include <optional>
#include <utility>

#include "platform/core/message_text.h"

namespace launcher {
namespace {

bool ParseCodePage(const std::string& text, unsigned& codePage) {
    if (text == "1252") {
        codePage = 1252;
        return true;
    }
    if (text == "utf-8" || text == "UTF-8" || text == "65001") {
        codePage = 65001;
        return true;
    }
    return false;
}

// Sets the one action; a second one is an error.
bool SetAction(LaunchOptions& options, Action action, bool& actionGiven) {
    if (actionGiven) {
        return false;
    }
    options.action = action;
    actionGiven = true;
    return true;
}

// --root's or --codepage's value; false with the error said.
bool ApplyValue(const std::string& option, const std::string& value, LaunchOptions& options,
                std::string& error) {
    if (option == "--root") {
        options.root = value;
    } else if (!ParseCodePage(value, options.codePage)) {
        error = "--codepage wants 1252 or utf-8, not " + platform::QuoteForMessage(value);
        return false;
    } else {
        options.codePageGiven = true;
    }
    return true;
}

// The action an option names; nothing for an unknown option.
std::optional<Action> ActionOf(const std::string& option) {
    const std::pair<const char*, Action> actions[] = {{"--install", Action::Install},
                                                      {"--uninstall", Action::Uninstall},
                                                      {"--help", Action::Help},
                                                      {"-h", Action::Help},
                                                      {"--version", Action::Version}};
    for (const auto& [name, action] : actions) {
        if (option == name) {
            return action;
        }
    }
    return std::nullopt;
}

} // namespace

ParsedOptions ParseLaunchOptions(const std::vector<std::string>& arguments) {
    ParsedOptions parsed;
    LaunchOptions& options = parsed.options;
    bool actionGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::size_t equals = arguments[i].find('=');
        const std::string argument = arguments[i].substr(0, equals);
        bool hasValue = equals != std::string::npos || i + 1 < arguments.size();
        if (argument == "--root" || argument == "--codepage") {
            if (!hasValue) {
                parsed.error = argument + " needs a value";
                return parsed;
            }
            const std::string value =
                equals != std::string::npos ? arguments[i].substr(equals + 1) : arguments[++i];
            if (!ApplyValue(argument, value, options, parsed.error)) {
                return parsed;
            }
            continue;
        }
        std::optional<Action> action = ActionOf(argument);
        if (!action) {
            parsed.error =
                "unknown option " + platform::QuoteForMessage(arguments[i]) + " (see --help)";
            return parsed;
        }
        if (equals != std::string::npos) {
            parsed.error = argument + " takes no value";
            return parsed;
        }
        if (!SetAction(options, *action, actionGiven)) {
            parsed.error = "only one of --install, --uninstall, --help and --version";
            return parsed;
        }
    }
    if (options.root && options.root->empty()) {
        parsed.error = "--root needs a folder";
    }
    return parsed;
}

std::string UsageText() {
    return "Usage: swipetype-launch [--root DIR] [--codepage CP] [--install | --uninstall]\n"
           "\n"
           "Starts the programs of the startup folder, as a terminal does at boot. The\n"
           "folder is the registry value \"Path\" of the key\n"
           "HKEY_CURRENT_USER\\Software\\Zelna\\Startup (default \\Application\\Startup) in\n"
           "the device root. For each *.RUN file in it, the program named before the\n"
           "carriage return is started with the command line that follows it (words split\n"
           "at spaces, \"double quotes\" group words; no shell), detached, with\n"
           "SWIPETYPE_ROOT set to the device root. A file that is not owned by you, or that\n"
           "others may write, is skipped. One line per program started or skipped.\n"
           "\n"
           "  --root DIR      device root (env SWIPETYPE_ROOT, else\n"
           "                  ${XDG_DATA_HOME:-~/.local/share}/swipetype)\n"
           "  --codepage CP   code page of the startup files: 1252 (default) or utf-8,\n"
           "                  as the program that wrote them was started with\n"
           "  --install       start this launcher at every login: writes the XDG autostart\n"
           "                  entry "
           "${XDG_CONFIG_HOME:-~/.config}/autostart/swipetype-launch.desktop\n"
           "                  (with the --root and --codepage given now)\n"
           "  --uninstall     removes that entry; each user who installed it runs this\n"
           "                  before the package is purged\n"
           "  -h, --help      show this help and exit\n"
           "  --version       show the version and exit\n";
}

} // namespace launcher
