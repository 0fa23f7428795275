// What swipetype-config was asked to do, read from its command line.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace config_tool {

enum class Action {
    List,
    Get,
    Set,
    Reset,
    Export,
    Import,
    Check,
    Port,
    Status,
    Init,
    Help,
    Version
};

struct Command {
    std::optional<std::string> root;
    std::chrono::milliseconds timeout{5000}; // for each call to the running program
    Action action = Action::List;
    bool json = false;               // list --json, status --json
    std::string name;                // the setting of get and set
    std::string value;               // the value of set
    bool dryRun = false;             // import --dry-run
    std::string file;                // import's and check's FILE ("-": standard input)
    int port = 0;                    // n of port COMn:
    std::optional<std::string> path; // port's PATH, when given ("" forgets)
};

struct ParseResult {
    Command command;
    std::string error; // one line; empty when the command line is good
};

// Checks the names and values too, so that a bad one is refused before anything
// is asked of the program or written.
ParseResult ParseCommand(const std::vector<std::string>& arguments);

std::string UsageText();

} // namespace config_tool
