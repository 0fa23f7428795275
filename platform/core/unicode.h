// UTF-8 and UTF-16 conversion for the host's own text: file names, the command
// line, terminal output and the event log. (The device's narrow text goes through
// the ANSI code page instead: see codepage.h.)
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Invalid or truncated sequences become U+FFFD, one per offending byte.
std::u16string Utf8ToUtf16(std::string_view text);

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t code);

// Calls visit(code point) for UTF-16 text, pairing surrogates; an unpaired
// surrogate is visited as U+FFFD.
template <typename Visit> void ForEachCodePoint(std::u16string_view text, Visit visit) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t unit = text[i];
        bool high = unit >= 0xD800 && unit <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            visit(0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            visit(U'\uFFFD');
        } else {
            visit(unit);
        }
    }
}

} // namespace platform
