// A value a person gave (an option's value, a setting, a file name), quoted for
// a one-line message: in single quotes, with line breaks, tabs and other
// control characters shown as \n, \r, \t or \xNN, bytes that are not UTF-8 as
// \xNN, and anything after the first 40 characters left out ("...", and the
// whole length in characters), so that a 1500-character prefix or a binary
// word keeps an error message on one short line.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string QuoteForMessage(std::string_view value);

} // namespace platform
