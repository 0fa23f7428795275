// The reference for RFID replies: the tag text a reply gives by the reply
// rules, written from the rules rather than from the reader's code.
//
//   offset 0  0xBD    1  length L (8 or more)    2  0x01    3  0x00 (success)
//   4...      the tag number: 7 bytes when L is 11, else 4
//
// Each byte becomes two upper-case hexadecimal digits, a space in place of a
// leading zero ("%2X").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fuzz {

// What the parse of a reply does with the reply buffer.
enum class TagOutcome { Text, Cleared, Untouched };

struct TagReference {
    TagOutcome outcome = TagOutcome::Untouched;
    std::string text; // the tag text, for TagOutcome::Text
};

// `reply` is the bytes read; `fourth` stands for the buffer's byte 3 when only
// three bytes were read (the parse looks at it).
inline TagReference ReferenceTag(std::string_view reply, unsigned char fourth = 0) {
    if (reply.size() < 3) {
        return {TagOutcome::Cleared, {}};
    }
    auto byte = [&](std::size_t i) {
        return i < reply.size() ? static_cast<unsigned char>(reply[i]) : i == 3 ? fourth : 0;
    };
    if (byte(0) != 0xBD || byte(2) != 0x01 || byte(3) != 0x00) {
        return {};
    }
    if (byte(1) < 8) {
        return {TagOutcome::Cleared, {}};
    }
    std::size_t tagBytes = byte(1) == 11 ? 7 : 4;
    if (reply.size() < 4 + tagBytes) {
        return {}; // cut short: its missing bytes would be an older reply's
    }
    const char* digits = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 4; i < 4 + tagBytes; ++i) {
        text += byte(i) < 0x10 ? ' ' : digits[byte(i) >> 4];
        text += digits[byte(i) & 0x0F];
    }
    return {TagOutcome::Text, text};
}

} // namespace fuzz
