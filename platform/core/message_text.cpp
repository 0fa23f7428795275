#include "platform/core/message_text.h"

#include <cstdio>

#include "platform/core/strict_utf8.h"

namespace platform {
namespace {

constexpr std::size_t kLongestShown = 40; // characters

// The bytes of the well-formed UTF-8 character at the start of `text`, or 0.
std::size_t CharacterBytes(std::string_view text) {
    auto lead = static_cast<unsigned char>(text[0]);
    std::size_t bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (bytes > text.size() || FirstInvalidUtf8(text.substr(0, bytes)) != bytes) {
        return 0;
    }
    return bytes;
}

std::string Escaped(unsigned char byte) {
    switch (byte) {
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    default:
        break;
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
    return hex;
}

} // namespace

std::string QuoteForMessage(std::string_view value) {
    std::string quoted = "'";
    std::size_t characters = 0;
    for (std::size_t i = 0; i < value.size(); ++characters) {
        std::size_t bytes = CharacterBytes(value.substr(i));
        auto byte = static_cast<unsigned char>(value[i]);
        if (characters < kLongestShown) {
            bool plain = bytes > 1 || (bytes == 1 && byte >= 0x20 && byte != 0x7F);
            quoted += plain ? std::string(value.substr(i, bytes)) : Escaped(byte);
        }
        i += bytes > 0 ? bytes : 1;
    }
    quoted += "'";
    if (characters > kLongestShown) {
        quoted.insert(quoted.size() - 1, "...");
        quoted += " (" + std::to_string(characters) + " characters)";
    }
    return quoted;
}

} // namespace platform
