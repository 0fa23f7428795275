// What swipetype-send was asked to do, read from its command line.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace send_tool {

struct Command {
    std::optional<std::string> root;
    std::optional<std::string> window; // --window TITLE
    std::chrono::milliseconds timeout{5000};
    bool post = false;
    std::optional<int> control;   // --control ID
    std::optional<unsigned> menu; // --menu COMMAND
    unsigned message = 0;
    unsigned long long wParam = 0;
    long long lParam = 0;
    std::optional<std::string> text; // WM_SETTEXT's text
    bool help = false;
    bool version = false;
};

struct ParseResult {
    Command command;
    std::string error; // one line; empty when the command line is good
};

ParseResult ParseCommand(const std::vector<std::string>& arguments);

// A message by name (WM_COMMAND, UM_TRAY_NOTIFY, ...) or number; empty if neither.
std::optional<unsigned> MessageNumber(const std::string& text);

// A number as the command line gives it: decimal or 0x hexadecimal, the whole
// text, with an optional minus sign (for an unsigned type, the two's complement).
// Nothing when the text is not such a number or its value does not fit the type.
// Defined for int, unsigned, long long and unsigned long long.
template <typename Number> std::optional<Number> ParseNumber(std::string_view text);

std::string UsageText();

} // namespace send_tool
