#include "utf.h"

namespace rc {
namespace {

// Length of the sequence a lead byte starts and the bits it carries; 0 for a
// byte that cannot start one.
int SequenceLength(unsigned char lead, char32_t& value) {
    if (lead < 0x80) {
        value = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        value = lead & 0x1F;
        return 2;
    }
    if ((lead & 0xF0) == 0xE0) {
        value = lead & 0x0F;
        return 3;
    }
    if ((lead & 0xF8) == 0xF0) {
        value = lead & 0x07;
        return 4;
    }
    return 0;
}

} // namespace

bool Utf8ToUtf16(const std::string& utf8, std::u16string& utf16) {
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    utf16.clear();
    for (std::size_t at = 0; at < utf8.size();) {
        char32_t value = 0;
        int length = SequenceLength(static_cast<unsigned char>(utf8[at]), value);
        if (length == 0 || at + static_cast<std::size_t>(length) > utf8.size()) {
            return false;
        }
        for (int i = 1; i < length; ++i) {
            auto byte = static_cast<unsigned char>(utf8[at + static_cast<std::size_t>(i)]);
            if ((byte & 0xC0) != 0x80) {
                return false;
            }
            value = (value << 6) | (byte & 0x3F);
        }
        if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return false;
        }
        if (value >= 0x10000) {
            value -= 0x10000;
            utf16 += static_cast<char16_t>(0xD800 + (value >> 10));
            utf16 += static_cast<char16_t>(0xDC00 + (value & 0x3FF));
        } else {
            utf16 += static_cast<char16_t>(value);
        }
        at += static_cast<std::size_t>(length);
    }
    return true;
}

} // namespace rc
