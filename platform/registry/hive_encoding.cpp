#include "platform/registry/hive_encoding.h"

#include <algorithm>

#include "platform/core/strict_utf8.h"
#include "platform/core/unicode.h"

namespace platform::hive {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

int LineOf(std::string_view text, std::size_t offset) {
    return static_cast<int>(std::count(text.begin(), text.begin() + offset, '\n')) + 1;
}

int LineOf(std::u16string_view text, std::size_t offset) {
    return static_cast<int>(std::count(text.begin(), text.begin() + offset, u'\n')) + 1;
}

std::optional<std::string> FromUtf8(std::string_view text, ParseError& error) {
    std::size_t invalid = FirstInvalidUtf8(text);
    if (invalid != text.size()) {
        error.line = LineOf(text, invalid);
        error.reason = "bytes that are not UTF-8";
        return std::nullopt;
    }
    return std::string(text);
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

std::size_t FirstLoneSurrogate(std::u16string_view units) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (IsHighSurrogate(units[i]) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
            ++i;
        } else if (IsHighSurrogate(units[i]) || IsLowSurrogate(units[i])) {
            return i;
        }
    }
    return units.size();
}

std::optional<std::string> FromUtf16(std::string_view bytes, bool bigEndian, ParseError& error) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto first = static_cast<unsigned char>(bytes[i]);
        auto second = static_cast<unsigned char>(bytes[i + 1]);
        units += static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    if (bytes.size() % 2 != 0) {
        error.line = LineOf(units, units.size());
        error.reason = "UTF-16 text that ends in half a unit";
        return std::nullopt;
    }
    std::size_t lone = FirstLoneSurrogate(units);
    if (lone != units.size()) {
        error.line = LineOf(units, lone);
        error.reason = "UTF-16 with a lone surrogate";
        return std::nullopt;
    }
    return EncodeUtf8(units);
}

} // namespace

std::optional<std::string> DecodeHiveText(std::string_view bytes, Encoding& encoding,
                                          ParseError& error) {
    if (bytes.starts_with(kUtf8Mark)) {
        encoding = Encoding::Utf8WithMark;
        return FromUtf8(bytes.substr(kUtf8Mark.size()), error);
    }
    if (bytes.starts_with(kUtf16LittleEndianMark)) {
        encoding = Encoding::Utf16LittleEndian;
        return FromUtf16(bytes.substr(2), false, error);
    }
    if (bytes.starts_with(kUtf16BigEndianMark)) {
        encoding = Encoding::Utf16BigEndian;
        return FromUtf16(bytes.substr(2), true, error);
    }
    encoding = Encoding::Utf8;
    return FromUtf8(bytes, error);
}

std::string EncodeHiveText(std::string_view text, Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf8:
        return std::string(text);
    case Encoding::Utf8WithMark:
        return std::string(kUtf8Mark) + std::string(text);
    case Encoding::Utf16LittleEndian:
    case Encoding::Utf16BigEndian:
        break;
    }
    bool bigEndian = encoding == Encoding::Utf16BigEndian;
    std::string bytes(bigEndian ? kUtf16BigEndianMark : kUtf16LittleEndianMark);
    // Everything written is well-formed: it was read as such or made from names
    // and texts that were checked. The forgiving conversion still keeps all of
    // it should that ever fail.
    for (char16_t unit : Utf8ToUtf16(text)) {
        char high = static_cast<char>(unit >> 8);
        char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

} // namespace platform::hive
