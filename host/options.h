// The host's command-line options, read before the device program starts.
// Options come first; whatever follows them (or a "--") is the program's own
// command line, handed to WinMain with each argument kept as given.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace host {

struct PortMapping {
    int number;       // n of "COMn:"
    std::string path; // host device standing for it; empty forgets a remembered one
};

struct HostOptions {
    std::optional<std::string> root;       // --root, else SWIPETYPE_ROOT
    std::vector<PortMapping> ports;        // --port COMn:=PATH, repeatable
    std::optional<std::string> keys;       // --keys, else SWIPETYPE_KEYS
    std::string layout;                    // --layout, else XKB_DEFAULT_LAYOUT; "": the session's
    std::chrono::milliseconds keyDelay{0}; // --key-delay, else SWIPETYPE_KEY_DELAY
    std::optional<std::string> log;        // --log, else SWIPETYPE_LOG
    std::optional<std::string> ui;         // --ui, else SWIPETYPE_UI
    unsigned codePage = 1252;              // --codepage 1252 | utf-8
    bool help = false;
    bool version = false;
    bool listPorts = false;
    std::vector<std::string> commandLine; // the program's own arguments
    // The options given, by the name they were given with ("--keys", or
    // "SWIPETYPE_KEYS" from the environment), --root and its variable left out.
    std::vector<std::string> given;
};

// Reads an environment variable; empty optional when unset.
using Environment = std::function<std::optional<std::string>(const std::string& name)>;
Environment ProcessEnvironment();

struct ParseResult {
    HostOptions options;
    std::string error; // one line; empty when the options are good
};

ParseResult ParseHostOptions(const std::vector<std::string>& arguments,
                             const Environment& environment);

// The command line as WinMain receives it: the arguments joined by single spaces.
std::u16string JoinCommandLine(const std::vector<std::string>& arguments);

// The text of --help.
std::string UsageText();

// One line for a command line that is given but is not exactly "MIN": what it
// was taken as, with a hint where it looks like a device path or an option.
// Empty for no command line and for "MIN".
std::string DescribeCommandLine(const std::vector<std::string>& commandLine);

} // namespace host
