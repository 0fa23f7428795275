#include "keys/text_conversion.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/core/system.h"

WCHAR* NarrowToWide(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    // n = bytes before the terminator plus 1; each byte yields at most one wide
    // character in either code page, so n wide characters always suffice.
    std::size_t n = std::strlen(text) + 1;
    auto* wide = static_cast<WCHAR*>(std::malloc(2 * n));
    if (wide == nullptr) {
        return nullptr;
    }
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, wide, static_cast<int>(n)) == 0) {
        wide[0] = u'\0';
    }
    return wide;
}

char* WideToNarrow(const WCHAR* text) {
    if (text == nullptr) {
        return nullptr;
    }
    // n = characters before the terminator plus 1 is exactly enough for a
    // single-byte code page; UTF-8 may need up to three bytes per character, so
    // the size is asked of the converter and the larger figure allocated.
    std::size_t n = std::char_traits<char16_t>::length(text) + 1;
    int needed =
        WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    std::size_t size =
        needed > 0 && static_cast<std::size_t>(needed) > n ? static_cast<std::size_t>(needed) : n;
    auto* narrow = static_cast<char*>(std::malloc(size));
    if (narrow == nullptr) {
        return nullptr;
    }
    if (WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(n), narrow, static_cast<int>(size),
                            nullptr, nullptr) == 0) {
        narrow[0] = '\0';
    }
    return narrow;
}
