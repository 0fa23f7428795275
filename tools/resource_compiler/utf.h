// UTF-8 script text to the UTF-16 text that resources hold.
#pragma once

#include <string>

namespace rc {

// False for bytes that are not well-formed UTF-8 (overlong forms, surrogates and
// values above U+10FFFF included).
bool Utf8ToUtf16(const std::string& utf8, std::u16string& utf16);

} // namespace rc
