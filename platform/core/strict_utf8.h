// Strict conversion between UTF-8 and UTF-16 for text that must come back
// exactly: hive files and host paths. Malformed input is refused, not repaired
// (platform/core/unicode.h has the forgiving conversions, for display).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Nothing for bytes that are not well-formed UTF-8 (overlong forms, surrogates
// and values past U+10FFFF included).
std::optional<std::u16string> DecodeUtf8(std::string_view text);

// Nothing for UTF-16 with a lone surrogate.
std::optional<std::string> EncodeUtf8(std::u16string_view text);

// The offset of the first byte that is not part of well-formed UTF-8, or
// text.size() when all of it is.
std::size_t FirstInvalidUtf8(std::string_view text);

} // namespace platform
