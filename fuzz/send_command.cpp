// swipetype-send's command line (tools/swipetype-send/command.h).
//
// Input: the arguments, separated by zero bytes (fuzz/support/arguments.h).
//
// A refused command line says why in a line that names the tool. An accepted
// one, written out again in one canonical form, reads back to the same command.
// Every number is read as written, decimal or 0x hexadecimal, a minus sign giving
// the two's complement of an unsigned field, and one that does not fit its field
// is refused rather than cut to fit.
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command.h"
#include "fuzz/support/arguments.h"
#include "fuzz/support/check.h"

using fuzz::Check;

namespace {

// The reference reading of a number into the type `Number`.
template <typename Number> std::optional<Number> ReferenceNumber(std::string_view text) {
    bool negative = text.starts_with('-');
    text.remove_prefix(negative ? 1 : 0);
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) {
        return std::nullopt;
    }
    unsigned __int128 magnitude = 0;
    for (char c : text) {
        unsigned digit = c >= '0' && c <= '9'   ? c - '0'
                         : c >= 'a' && c <= 'f' ? c - 'a' + 10
                         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                : 99;
        if (digit >= base) {
            return std::nullopt;
        }
        magnitude = magnitude * base + digit;
        if (magnitude > std::numeric_limits<std::uint64_t>::max()) {
            return std::nullopt;
        }
    }
    using Limits = std::numeric_limits<Number>;
    unsigned __int128 largest = static_cast<unsigned __int128>(Limits::max());
    if (negative && Limits::is_signed) {
        largest += 1; // as far down as the minimum
    }
    if (magnitude > largest) {
        return std::nullopt;
    }
    if (!negative) {
        return static_cast<Number>(magnitude);
    }
    if constexpr (Limits::is_signed) {
        return static_cast<Number>(-static_cast<__int128>(magnitude));
    } else {
        return static_cast<Number>(Number{0} - static_cast<Number>(magnitude));
    }
}

template <typename Number> void CheckNumber(const std::string& text) {
    Check(send_tool::ParseNumber<Number>(text) == ReferenceNumber<Number>(text),
          "a number is read as written, or refused when it does not fit", text);
}

std::vector<std::string> Canonical(const send_tool::Command& command) {
    std::vector<std::string> arguments;
    if (command.root) {
        arguments.insert(arguments.end(), {"--root", *command.root});
    }

    if (command.window) {
        arguments.insert(arguments.end(), {"--window", *command.window});
    }
    long long timeout = command.timeout.count();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%lld.%03lld", timeout / 1000, timeout % 1000);
    arguments.insert(arguments.end(), {"--timeout", seconds});
    if (command.menu) {
        arguments.insert(arguments.end(), {"--menu", std::to_string(*command.menu)});
        return arguments;
    }
    if (command.post) {
        arguments.push_back("--post");
    }
    if (command.control) {
        arguments.insert(arguments.end(), {"--control", std::to_string(*command.control)});
    }
    arguments.insert(arguments.end(),
                     {"--", std::to_string(command.message), std::to_string(command.wParam)});
    arguments.push_back(command.text ? *command.text : std::to_string(command.lParam));
    return arguments;
}

bool Same(const send_tool::Command& a, const send_tool::Command& b) {
    return a.root == b.root && a.window == b.window && a.timeout == b.timeout && a.post == b.post &&
           a.control == b.control && a.menu == b.menu && a.message == b.message &&
           a.wParam == b.wParam && a.lParam == b.lParam && a.text == b.text && a.help == b.help &&
           a.version == b.version;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> arguments = fuzz::Arguments(data, size);
    for (const std::string& argument : arguments) {
        CheckNumber<int>(argument);
        CheckNumber<unsigned>(argument);
        CheckNumber<unsigned long long>(argument);
        CheckNumber<long long>(argument);
    }
    send_tool::ParseResult result = send_tool::ParseCommand(arguments);
    if (!result.error.empty()) {
        Check(result.error.starts_with("swipetype-send: "), "a refusal names the tool",
              result.error);
        return 0;
    }
    const send_tool::Command& command = result.command;
    if (command.help || command.version) {
        return 0;
    }
    Check(!command.text || command.message == 0x000C, "only WM_SETTEXT carries a text");
    send_tool::ParseResult again = send_tool::ParseCommand(Canonical(command));
    Check(again.error.empty() && Same(again.command, command),
          "the command written out canonically reads back the same", again.error);
    return 0;
}
