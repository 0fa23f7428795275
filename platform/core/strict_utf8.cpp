#include "platform/core/strict_utf8.h"

#include "platform/core/unicode.h"

namespace platform {
namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one code point at `offset`, advancing it; kInvalid for a malformed one.
char32_t NextCodePoint(std::string_view text, std::size_t& offset) {
    auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    unsigned lead = byte(offset);
    if (lead < 0x80) {
        ++offset;
        return lead;
    }
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || offset + length > text.size()) {
        return kInvalid;
    }
    char32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        unsigned next = byte(offset + i);
        if ((next & 0xC0) != 0x80) {
            return kInvalid;
        }
        code = (code << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return kInvalid;
    }
    offset += length;
    return code;
}

} // namespace

std::size_t FirstInvalidUtf8(std::string_view text) {
    std::size_t offset = 0;
    while (offset < text.size()) {
        std::size_t start = offset;
        if (NextCodePoint(text, offset) == kInvalid) {
            return start;
        }
    }
    return text.size();
}

std::optional<std::u16string> DecodeUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t offset = 0;
    while (offset < text.size()) {
        char32_t code = NextCodePoint(text, offset);
        if (code == kInvalid) {
            return std::nullopt;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

std::optional<std::string> EncodeUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            return std::nullopt;
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

} // namespace platform
