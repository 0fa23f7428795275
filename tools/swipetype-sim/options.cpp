#include "options.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/core/message_text.h"

namespace sim {
namespace {

bool ParseBaud(std::string_view text, unsigned& baud) {
    auto [end, result] = std::from_chars(text.data(), text.data() + text.size(), baud);
    return result == std::errc() && end == text.data() + text.size() && baud >= 50 &&
           baud <= 4000000;
}

bool ModeTakesValue(const Mode& mode, std::string_view name, bool& known) {
    for (const ModeOption& option : mode.Options()) {
        if (name == option.name) {
            known = true;
            return option.value != nullptr;
        }
    }
    known = false;
    return false;
}

// Applies one option with its value (empty for a flag).
bool Apply(std::string_view name, std::string_view value, Options& options, std::string& error) {
    if (name == "input") {
        options.input = value;
    } else if (name == "link") {
        options.link = value;
    } else if (name == "baud") {
        if (!ParseBaud(value, options.baud)) {
            error = "--baud wants a rate in baud from 50 to 4000000, not " +
                    platform::QuoteForMessage(value);
            return false;
        }
    } else {
        return options.mode->SetOption(name, value, error);
    }
    return true;
}

bool CommonTakesValue(std::string_view name) {
    return name == "input" || name == "link" || name == "baud";
}

bool CommonFlag(std::string_view name, Options& options) {
    if (name == "help") {
        options.help = true;
    } else if (name == "version") {
        options.version = true;
    } else if (name == "quiet") {
        options.quiet = true;
    } else if (name == "exit-at-end") {
        options.exitAtEnd = true;
    } else {
        return false;
    }
    return true;
}

// One "--name", "--name=value" or "--name value" at argv[i].
bool ParseOne(int argc, char** argv, int& i, Options& options, std::string& error) {
    std::string_view argument = argv[i];
    std::string_view name = argument.substr(2);
    std::string_view value;
    bool inlineValue = false;
    if (auto equals = name.find('='); equals != std::string_view::npos) {
        value = name.substr(equals + 1);
        name = name.substr(0, equals);
        inlineValue = true;
    }
    if (!inlineValue && CommonFlag(name, options)) {
        return true;
    }
    bool known = CommonTakesValue(name);
    bool takesValue = known;
    if (!known && options.mode != nullptr) {
        takesValue = ModeTakesValue(*options.mode, name, known);
    }
    if (!known) {
        error = "unknown option " + platform::QuoteForMessage(argument) +
                (options.mode == nullptr ? " (mode options come after the mode)"
                                         : std::string(" for ") + options.mode->Name() + " mode");
        return false;
    }
    if (takesValue && !inlineValue) {
        if (i + 1 >= argc) {
            error = "option --" + std::string(name) + " needs a value";
            return false;
        }
        value = argv[++i];
    }
    return Apply(name, value, options, error);
}

Mode* FindMode(const std::vector<std::unique_ptr<Mode>>& modes, std::string_view name) {
    for (const auto& mode : modes) {
        if (name == mode->Name()) {
            return mode.get();
        }
    }
    return nullptr;
}

// Prints `text` line by line, the lines after the first indented by `indent`.
void PrintIndented(std::string_view text, int indent) {
    for (bool first = true; !text.empty(); first = false) {
        std::size_t end = std::min(text.find('\n'), text.size());
        std::printf("%*s%.*s\n", first ? 0 : indent, "", static_cast<int>(end), text.data());
        text.remove_prefix(std::min(end + 1, text.size()));
    }
}

// The mode's options in two columns, the second as far in as the longest name needs.
void PrintModeOptions(const Mode& mode) {
    std::vector<std::string> heads;
    int width = 13;
    for (const ModeOption& option : mode.Options()) {
        std::string head = std::string("--") + option.name;
        if (option.value != nullptr) {
            head += std::string(" ") + option.value;
        }
        width = std::max(width, static_cast<int>(head.size()));
        heads.push_back(head);
    }
    std::vector<ModeOption> options = mode.Options();
    for (std::size_t i = 0; i < options.size(); ++i) {
        // Two spaces after the longest: help2man and readers tell name from text by them.
        std::printf("  %-*s  ", width, heads[i].c_str());
        PrintIndented(options[i].help, width + 4);
    }
}

} // namespace

bool ParseOptions(int argc, char** argv, const std::vector<std::unique_ptr<Mode>>& modes,
                  Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument == "-h") {
            options.help = true;
        } else if (argument.starts_with("--")) {
            if (!ParseOne(argc, argv, i, options, error)) {
                return false;
            }
        } else if (options.mode == nullptr) {
            options.mode = FindMode(modes, argument);
            if (options.mode == nullptr) {
                error = "unknown mode " + platform::QuoteForMessage(argument);
                return false;
            }
        } else {
            error = "unexpected argument " + platform::QuoteForMessage(argument);
            return false;
        }
    }
    if (options.mode == nullptr && !options.help && !options.version) {
        error = "no mode given";
        return false;
    }
    return true;
}

void PrintHelp(const std::vector<std::unique_ptr<Mode>>& modes, const Mode* only) {
    std::printf("Usage: swipetype-sim MODE [OPTION]...\n"
                "Simulates a card reader or a modem on a pseudo-terminal. The first line printed\n"
                "is the device to give the program as COM1: (SWIPETYPE_COM1=DEVICE or\n"
                "--port COM1:=DEVICE). Input lines (standard input or --input) tell the\n"
                "device what to do.\n\n"
                "Modes:\n");
    for (const auto& mode : modes) {
        std::printf("  %-6s %s\n", mode->Name(), mode->Summary());
    }
    std::printf(
        "\nOptions:\n"
        "  --input FILE   read the input lines from FILE instead of standard input\n"
        "  --baud N       the rate the device talks at (default: the mode's own); while the\n"
        "                 program has the line at another rate the device is not understood,\n"
        "                 so nothing is sent or answered\n"
        "  --link PATH    also make PATH a symbolic link to the device (removed at exit)\n"
        "  --exit-at-end  end when the input ends and the program has read everything sent\n"
        "  --quiet        report only problems on standard error\n"
        "  -h, --help     show this help (after a mode: that mode's help)\n"
        "  --version      show the version and exit\n");
    for (const auto& mode : modes) {
        if (only != nullptr && only != mode.get()) {
            continue;
        }
        if (mode->DefaultBaud() != 0) {
            std::printf("\n%s mode, the reader at %u baud. Input lines:\n", mode->Name(),
                        mode->DefaultBaud());
        } else {
            std::printf("\n%s mode, at whatever rate the program sets. Input lines:\n",
                        mode->Name());
        }
        std::string_view text = mode->InputHelp();
        while (!text.empty()) {
            std::size_t end = std::min(text.find('\n'), text.size());
            std::printf("  %.*s\n", static_cast<int>(end), text.data());
            text.remove_prefix(std::min(end + 1, text.size()));
        }
        if (!mode->Options().empty()) {
            std::printf("%s options:\n", mode->Name());
        }
        PrintModeOptions(*mode);
        if (mode->Details() != nullptr) {
            std::printf("\n");
            PrintIndented(mode->Details(), 0);
        }
    }
}

} // namespace sim
