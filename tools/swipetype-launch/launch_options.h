// The launcher's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace launcher {

enum class Action { Launch, Install, Uninstall, Help, Version };

struct LaunchOptions {
    Action action = Action::Launch;
    std::optional<std::string> root; // --root, else SWIPETYPE_ROOT
    unsigned codePage = 1252;        // --codepage 1252 | utf-8
    bool codePageGiven = false;
};

struct ParsedOptions {
    LaunchOptions options;
    std::string error; // one line; empty when the options are good
};

ParsedOptions ParseLaunchOptions(const std::vector<std::string>& arguments);

std::string UsageText();

} // namespace launcher
