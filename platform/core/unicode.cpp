#include "platform/core/unicode.h"

namespace platform {

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t code) { AppendUtf8(out, code); });
    return out;
}

namespace {

// Length of the sequence a lead byte opens, and the smallest code point it may
// encode (to refuse overlong forms); 0 for a byte that cannot lead.
struct Lead {
    int length;
    char32_t minimum;
};

Lead LeadOf(unsigned char byte) {
    if (byte < 0x80) {
        return {1, 0};
    }
    if ((byte & 0xE0) == 0xC0) {
        return {2, 0x80};
    }
    if ((byte & 0xF0) == 0xE0) {
        return {3, 0x800};
    }
    if ((byte & 0xF8) == 0xF0) {
        return {4, 0x10000};
    }
    return {0, 0};
}

void AppendUtf16(std::u16string& out, char32_t code) {
    if (code < 0x10000) {
        out += static_cast<char16_t>(code);
    } else {
        code -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (code >> 10));
        out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    }
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        auto byte = static_cast<unsigned char>(text[i]);
        Lead lead = LeadOf(byte);
        if (lead.length == 0 || i + static_cast<std::size_t>(lead.length) > text.size()) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        char32_t code = lead.length == 1 ? byte : byte & (0x7F >> lead.length);
        bool valid = true;
        for (int k = 1; k < lead.length; ++k) {
            auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid || code < lead.minimum || code > 0x10FFFF ||
            (code >= 0xD800 && code <= 0xDFFF)) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        AppendUtf16(out, code);
        i += static_cast<std::size_t>(lead.length);
    }
    return out;
}

} // namespace platform
