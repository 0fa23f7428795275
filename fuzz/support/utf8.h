// UTF-8 checks that share nothing with the program's hand-written converter
// (platform/core/unicode.cpp): well-formed byte sequences as the Unicode
// Standard's table 3-7 lists them, and glibc's iconv for what a UTF-16 text is in
// UTF-8. (The code page calls use iconv themselves: their target checks them
// against the hand-written converter instead.)
#pragma once

#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

namespace fuzz {

// Table 3-7: a lead byte range, the ranges of the bytes that follow it.
struct WellFormedRow {
    unsigned char first, last;
    int length;
    unsigned char next[3][2];
};

constexpr WellFormedRow kWellFormedUtf8[] = {
    {0x00, 0x7F, 1, {}},
    {0xC2, 0xDF, 2, {{0x80, 0xBF}}},
    {0xE0, 0xE0, 3, {{0xA0, 0xBF}, {0x80, 0xBF}}},
    {0xE1, 0xEC, 3, {{0x80, 0xBF}, {0x80, 0xBF}}},
    {0xED, 0xED, 3, {{0x80, 0x9F}, {0x80, 0xBF}}},
    {0xEE, 0xEF, 3, {{0x80, 0xBF}, {0x80, 0xBF}}},
    {0xF0, 0xF0, 4, {{0x90, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}},
    {0xF1, 0xF3, 4, {{0x80, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}},
    {0xF4, 0xF4, 4, {{0x80, 0x8F}, {0x80, 0xBF}, {0x80, 0xBF}}},
};

inline bool IsValidUtf8(std::string_view text) {
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    for (std::size_t i = 0; i < text.size();) {
        const WellFormedRow* row = nullptr;
        for (const WellFormedRow& candidate : kWellFormedUtf8) {
            row = at(i) >= candidate.first && at(i) <= candidate.last ? &candidate : row;
        }
        if (row == nullptr || text.size() - i < static_cast<std::size_t>(row->length)) {
            return false;
        }
        for (int k = 1; k < row->length; ++k) {
            if (at(i + k) < row->next[k - 1][0] || at(i + k) > row->next[k - 1][1]) {
                return false;
            }
        }
        i += static_cast<std::size_t>(row->length);
    }
    return true;
}

// The bytes converted by iconv; nullopt when iconv refuses them.
inline std::optional<std::string> Iconv(const char* to, const char* from, std::string_view bytes) {
    iconv_t converter = iconv_open(to, from);
    std::string out(bytes.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    char* written = out.data();
    std::size_t inLeft = bytes.size(), outLeft = out.size();
    bool whole = converter != reinterpret_cast<iconv_t>(-1) &&
                 iconv(converter, &in, &inLeft, &written, &outLeft) != static_cast<std::size_t>(-1);
    if (converter != reinterpret_cast<iconv_t>(-1)) {
        iconv_close(converter);
    }
    out.resize(out.size() - outLeft);
    return whole ? std::optional<std::string>(out) : std::nullopt;
}

// UTF-16 units as UTF-8, each surrogate without its partner as U+FFFD.
inline std::optional<std::string> ToUtf8(std::u16string_view text) {
    std::u16string paired(text);
    for (std::size_t i = 0; i < paired.size(); ++i) {
        bool high = paired[i] >= 0xD800 && paired[i] <= 0xDBFF;
        bool low = paired[i] >= 0xDC00 && paired[i] <= 0xDFFF;
        bool lowNext = i + 1 < paired.size() && paired[i + 1] >= 0xDC00 && paired[i + 1] <= 0xDFFF;
        if (high && lowNext) {
            ++i;
        } else if (high || low) {
            paired[i] = 0xFFFD;
        }
    }
    return Iconv("UTF-8", "UTF-16LE",
                 {reinterpret_cast<const char*>(paired.data()), paired.size() * 2});
}

} // namespace fuzz
