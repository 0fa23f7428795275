#include "command.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

#include "app/private_messages.h"
#include "platform/core/message_text.h"
#include "platform/windowing/window.h"

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
open menu exists, no answer came in time or the program could not take the
connection (it has no file descriptor left), 2 for a bad command line.
Examples: swipetype-send --control 1003 BM_CLICK   (clicks "Enable")
  swipetype-send --window "About Swipetype" --control 1032 BM_CLICK   (closes About)
)";

const std::pair<const char*, unsigned> kMessages[] = {
    {"WM_COMMAND", WM_COMMAND},
    {"WM_CLOSE", WM_CLOSE},
    {"WM_SIZE", WM_SIZE},
    {"WM_SETTEXT", WM_SETTEXT},
    {"WM_GETTEXT", WM_GETTEXT},
    {"BM_CLICK", BM_CLICK},
    {"BM_GETCHECK", BM_GETCHECK},
    {"UM_SHOW_OPTIONS", UM_SHOW_OPTIONS},
    {"UM_TRAY_NOTIFY", UM_TRAY_NOTIFY},
    {"UM_POPUP_COMMAND", UM_POPUP_COMMAND},
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

namespace {

// --timeout's seconds, to the nearest millisecond; false with the error said.
bool ParseTimeout(const std::string& text, ParseResult& result) {
    double seconds = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc() || end != text.data() + text.size() || !(seconds > 0) ||
        seconds > 86400) {
        result.error = "swipetype-send: --timeout wants seconds above 0, up to 86400, not " +
                       platform::QuoteForMessage(text);
        return false;
    }
    // Never none: a time-out of 0 would not wait.
    result.command.timeout = std::chrono::milliseconds(std::max(1LL, std::llround(seconds * 1000)));
    return true;
}

// An option with a value; false when the value is refused (the error said).
bool ParseValueOption(const std::string& option, const std::string& text, ParseResult& result) {
    Command& command = result.command;
    if (option == "--window") {
        command.window = text;
    } else if (option == "--root") {
        command.root = text;
    } else if (option == "--timeout") {
        return ParseTimeout(text, result);
    } else if (option == "--control") {
        command.control = ParseNumber<int>(text);
        if (!command.control) {
            result.error = "swipetype-send: --control wants a control id, not " +
                           platform::QuoteForMessage(text);
            return false;
        }
    } else {
        command.menu = ParseNumber<unsigned>(text);
        if (!command.menu) {
            result.error =
                "swipetype-send: --menu wants a command id, not " + platform::QuoteForMessage(text);
            return false;
        }
    }
    return true;
}

bool TakesValue(const std::string& option) {
    return option == "--window" || option == "--root" || option == "--timeout" ||
           option == "--control" || option == "--menu";
}

// Reads the options; next is left on the first operand. False when the command
// line ends there: an error, --help or --version.
bool ParseOptions(const std::vector<std::string>& arguments, std::size_t& next,
                  ParseResult& result) {
    for (; next < arguments.size() &&
           (arguments[next].rfind("--", 0) == 0 || arguments[next] == "-h");
         ++next) {
        const std::string& option = arguments[next];
        if (option == "--") {
            ++next;
            return true;
        }
        if (option == "--help" || option == "-h") {
            result.command.help = true;
            return false;
        }
        if (option == "--version") {
            result.command.version = true;
            return false;
        }
        std::size_t equals = option.find('=');
        std::string name = option.substr(0, equals);
        if (option == "--post") {
            result.command.post = true;
        } else if (!TakesValue(name)) {
            result.error = "swipetype-send: unknown option " + platform::QuoteForMessage(option) +
                           " (see --help)";
            return false;
        } else if (equals == std::string::npos && next + 1 >= arguments.size()) {
            result.error = "swipetype-send: " + option + " needs a value";
            return false;
        } else if (!ParseValueOption(name,
                                     equals != std::string::npos ? option.substr(equals + 1)
                                                                 : arguments[++next],
                                     result)) {
            return false;
        }
    }
    return true;
}

// WPARAM and then LPARAM, or WM_SETTEXT's text, after the message; false with
// the error said.
bool ParseParameters(const std::vector<std::string>& rest, ParseResult& result) {
    Command& command = result.command;
    if (rest.size() > 1) {
        std::optional<unsigned long long> wParam = ParseNumber<unsigned long long>(rest[1]);
        if (!wParam) {
            result.error = "swipetype-send: WPARAM must be a number, not " +
                           platform::QuoteForMessage(rest[1]);
            return false;
        }
        command.wParam = *wParam;
    }
    if (rest.size() > 2) {
        if (command.message == WM_SETTEXT) {
            command.text = rest[2];
        } else if (std::optional<long long> lParam = ParseNumber<long long>(rest[2])) {
            command.lParam = *lParam;
        } else {
            result.error = "swipetype-send: LPARAM must be a number, not " +
                           platform::QuoteForMessage(rest[2]);
            return false;
        }
    }
    return true;
}

// The message and its parameters after the options.
void ParseMessage(const std::vector<std::string>& rest, ParseResult& result) {
    Command& command = result.command;
    if (rest.empty() || rest.size() > 3) {
        result.error = "swipetype-send: give a MESSAGE with at most WPARAM and LPARAM (see --help)";
        return;
    }
    std::optional<unsigned> message = MessageNumber(rest[0]);
    if (!message) {
        result.error = "swipetype-send: unknown message " + platform::QuoteForMessage(rest[0]);
        return;
    }
    command.message = *message;
    if (command.message == WM_GETTEXT) {
        command.wParam = 1024; // room for a whole Settings text
    }
    if (!ParseParameters(rest, result)) {
        return;
    }
    if (command.message == WM_SETTEXT && !command.text) {
        command.text = ""; // WM_SETTEXT without TEXT empties the text
    }
    if (command.post && (command.message == WM_SETTEXT || command.message == WM_GETTEXT)) {
        result.error = "swipetype-send: WM_SETTEXT and WM_GETTEXT cannot be posted";
    }
}

} // namespace

ParseResult ParseCommand(const std::vector<std::string>& arguments) {
    ParseResult result;
    std::size_t next = 0;
    if (!ParseOptions(arguments, next, result)) {
        return result;
    }
    std::vector<std::string> rest(arguments.begin() + static_cast<std::ptrdiff_t>(next),
                                  arguments.end());
    const Command& command = result.command;
    if (!command.menu) {
        ParseMessage(rest, result);
    } else if (!rest.empty() || command.post || command.control || command.window) {
        result.error = "swipetype-send: --menu takes no message, --post, --window or --control";
    }
    return result;
}

std::string UsageText() {
    return kUsage;
}

} // namespace send_tool
