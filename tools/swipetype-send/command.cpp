#include "command.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

namespace send_tool {
namespace {

const char* const kUsage =
    R"(Usage: swipetype-send [--root DIR] [--post] [--window TITLE] [--control ID]
                      [--timeout SECONDS] MESSAGE [WPARAM [LPARAM | TEXT]]
  or:  swipetype-send [--root DIR] [--timeout SECONDS] --menu COMMAND
Sends a window message to the running Swipetype (the window of class "SWIPETYPE"
and title "Swipetype") of a device root, and prints the result.

  --root DIR         device root (env SWIPETYPE_ROOT; default $XDG_DATA_HOME/swipetype)
  --post             post the message and return at once
  --window TITLE     address the program's top-level window with that title
                     instead, such as a dialog it shows ("About Swipetype")
  --control ID       address the control with that id in the options dialog
                     (or in the window given with --window)
  --menu COMMAND     choose the item with that command id in the open popup menu
                     (0 dismisses it)
  --timeout SECONDS  give up on a call that gets no answer in that time
                     (default 5); a message that opens a modal dialog is
                     answered only when the dialog closes
  -h, --help         show this help and exit
  --version          show the version and exit

MESSAGE is a number or one of WM_COMMAND, WM_CLOSE, WM_SIZE, WM_SETTEXT,
WM_GETTEXT, BM_CLICK, BM_GETCHECK, UM_SHOW_OPTIONS, UM_TRAY_NOTIFY,
UM_POPUP_COMMAND. WPARAM and LPARAM are numbers (decimal or 0x hexadecimal);
TEXT is the text of WM_SETTEXT. WM_GETTEXT prints the text.

Exit status: 0 when the message was delivered, 1 when no such window, control or
open menu exists or no answer came in time, 2 for a bad command line.
Examples: swipetype-send --control 1003 BM_CLICK   (clicks "Enable")
  swipetype-send --window "About Swipetype" --control 1032 BM_CLICK   (closes About)
)";

const std::pair<const char*, unsigned> kMessages[] = {
    {"WM_COMMAND", 0x0111},     {"WM_CLOSE", 0x0010},      {"WM_SIZE", 0x0005},
    {"WM_SETTEXT", 0x000C},     {"WM_GETTEXT", 0x000D},    {"BM_CLICK", 0x00F5},
    {"BM_GETCHECK", 0x00F0},    {"UM_SHOW_OPTIONS", 1794}, {"UM_TRAY_NOTIFY", 1801},
    {"UM_POPUP_COMMAND", 1802},
};

} // namespace

template <typename Number> std::optional<Number> ParseNumber(std::string_view text) {
    std::string_view digits = text;
    bool negative = !digits.empty() && digits[0] == '-';
    if (negative) {
        digits.remove_prefix(1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    unsigned long long magnitude = 0;
    auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    // A value that does not fit is refused, not cut to fit: 4294968299 is not
    // control 1003. A negative value reaches down to the type's minimum, or for
    // an unsigned type to the two's complement of its maximum.
    using Limits = std::numeric_limits<Number>;
    unsigned long long largest = static_cast<unsigned long long>(Limits::max());
    if (negative && Limits::is_signed) {
        largest += 1;
    }
    if (magnitude > largest) {
        return std::nullopt;
    }
    return negative ? static_cast<Number>(0ULL - magnitude) : static_cast<Number>(magnitude);
}

template std::optional<int> ParseNumber(std::string_view);
template std::optional<unsigned> ParseNumber(std::string_view);
template std::optional<long long> ParseNumber(std::string_view);
template std::optional<unsigned long long> ParseNumber(std::string_view);

std::optional<unsigned> MessageNumber(const std::string& text) {
    for (const auto& [name, number] : kMessages) {
        if (text == name) {
            return number;
        }
    }
    if (!text.empty() && text[0] != '-') {
        return ParseNumber<unsigned>(text);
    }
    return std::nullopt;
}

ParseResult ParseCommand(const std::vector<std::string>& arguments) {
    ParseResult result;
    Command& command = result.command;
    std::size_t i = 0;
    auto value = [&](const std::string& option, std::string& out) {
        if (i + 1 >= arguments.size()) {
            result.error = "swipetype-send: " + option + " needs a value";
            return false;
        }
        out = arguments[++i];
        return true;
    };
    for (; i < arguments.size() && (arguments[i].rfind("--", 0) == 0 || arguments[i] == "-h");
         ++i) {
        const std::string& option = arguments[i];
        std::string text;
        if (option == "--") {
            ++i;
            break;
        } else if (option == "--window") {
            if (!value(option, text)) {
                return result;
            }
            command.window = text;
        } else if (option == "--timeout") {
            double seconds = 0;
            if (!value(option, text)) {
                return result;
            }
            auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
            if (error != std::errc() || end != text.data() + text.size() || !(seconds > 0) ||
                seconds > 86400) {
                result.error =
                    "swipetype-send: --timeout wants seconds above 0, up to 86400, not '" + text +
                    "'";
                return result;
            }
            // To the nearest millisecond, and never none: a time-out of 0 would not wait.
            command.timeout =
                std::chrono::milliseconds(std::max(1LL, std::llround(seconds * 1000)));
        } else if (option == "--help" || option == "-h") {
            command.help = true;
            return result;
        } else if (option == "--version") {
            command.version = true;
            return result;
        } else if (option == "--post") {
            command.post = true;
        } else if (option == "--root") {
            if (!value(option, text)) {
                return result;
            }
            command.root = text;
        } else if (option == "--control") {
            if (!value(option, text)) {
                return result;
            }
            command.control = ParseNumber<int>(text);
            if (!command.control) {
                result.error = "swipetype-send: --control wants a control id, not '" + text + "'";
                return result;
            }
        } else if (option == "--menu") {
            if (!value(option, text)) {
                return result;
            }
            command.menu = ParseNumber<unsigned>(text);
            if (!command.menu) {
                result.error = "swipetype-send: --menu wants a command id, not '" + text + "'";
                return result;
            }
        } else {
            result.error = "swipetype-send: unknown option '" + option + "' (see --help)";
            return result;
        }
    }
    std::vector<std::string> rest(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                                  arguments.end());
    if (command.menu) {
        if (!rest.empty() || command.post || command.control || command.window) {
            result.error = "swipetype-send: --menu takes no message, --post, --window or --control";
        }
        return result;
    }
    if (rest.empty() || rest.size() > 3) {
        result.error = "swipetype-send: give a MESSAGE with at most WPARAM and LPARAM (see --help)";
        return result;
    }
    std::optional<unsigned> message = MessageNumber(rest[0]);
    if (!message) {
        result.error = "swipetype-send: unknown message '" + rest[0] + "'";
        return result;
    }
    command.message = *message;
    if (command.message == 0x000D) {
        command.wParam = 1024; // WM_GETTEXT: room for a whole Settings text
    }
    if (rest.size() > 1) {
        std::optional<unsigned long long> wParam = ParseNumber<unsigned long long>(rest[1]);
        if (!wParam) {
            result.error = "swipetype-send: WPARAM must be a number, not '" + rest[1] + "'";
            return result;
        }
        command.wParam = *wParam;
    }
    if (rest.size() > 2) {
        if (command.message == 0x000C) {
            command.text = rest[2];
        } else if (std::optional<long long> lParam = ParseNumber<long long>(rest[2])) {
            command.lParam = *lParam;
        } else {
            result.error = "swipetype-send: LPARAM must be a number, not '" + rest[2] + "'";
            return result;
        }
    }
    if (command.message == 0x000C && !command.text) {
        command.text = ""; // WM_SETTEXT without TEXT empties the text
    }
    if (command.post && (command.message == 0x000C || command.message == 0x000D)) {
        result.error = "swipetype-send: WM_SETTEXT and WM_GETTEXT cannot be posted";
    }
    return result;
}

std::string UsageText() {
    return kUsage;
}

} // namespace send_tool
