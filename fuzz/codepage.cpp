// Code page conversions, Windows-1252 and UTF-8, in both directions, through
// MultiByteToWideChar and WideCharToMultiByte and the program's own NarrowToWide
// and WideToNarrow.
//
// Input: a mode byte (bit 0: UTF-8, else Windows-1252; bit 1: wide to narrow,
// else narrow to wide), then the text: bytes, or UTF-16LE units.
//
// The size a conversion asks for is the size it fills; a destination one unit
// too small fails with ERROR_INSUFFICIENT_BUFFER and writes nothing past its end
// (each destination is a heap block of exactly its size). Windows-1252 text
// comes back byte for byte; UTF-8 comes back when it is well-formed (strict
// decoding refuses exactly the malformed kind), and what is written is always
// well-formed. The calls use iconv; what they read and write is checked against
// the program's own hand-written converter (platform/core/unicode.h), which the
// keystrokes target checks against iconv, and well-formedness against the
// standard's table (fuzz/support/utf8.h).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/support/check.h"
#include "fuzz/support/utf8.h"
#include "keys/text_conversion.h"
#include "platform/core/codepage.h"
#include "platform/core/system.h"
#include "platform/core/unicode.h"

using fuzz::Check;

namespace {

// A heap block of exactly `units` units, so that AddressSanitizer sees any write past it.
template <typename Unit> struct Exact {
    explicit Exact(int units) : data(static_cast<Unit*>(std::malloc(sizeof(Unit) * units))) {}
    ~Exact() { std::free(data); }
    Unit* data;
};

std::u16string Decode(UINT codePage, std::string_view narrow, DWORD flags = 0) {
    int units = MultiByteToWideChar(codePage, flags, narrow.data(), static_cast<int>(narrow.size()),
                                    nullptr, 0);
    if (units <= 0) {
        return {};
    }
    Exact<char16_t> wide(units);
    Check(MultiByteToWideChar(codePage, flags, narrow.data(), static_cast<int>(narrow.size()),
                              wide.data, units) == units,
          "narrow text fills the size it asked for");
    // (A capacity of 0 asks for the size, so the smallest destination has 1 unit.)
    if (units > 1) {
        Exact<char16_t> tooSmall(units - 1);
        SetLastError(0);
        Check(MultiByteToWideChar(codePage, flags, narrow.data(), static_cast<int>(narrow.size()),
                                  tooSmall.data, units - 1) == 0 &&
                  GetLastError() == static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              "a destination one unit too small fails cleanly");
    }
    return std::u16string(wide.data, static_cast<std::size_t>(units));
}

std::string Encode(UINT codePage, std::u16string_view wide, BOOL* usedDefault = nullptr) {
    int bytes = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, nullptr);
    Check(bytes > 0, "wide text always has a narrow form");
    Exact<char> narrow(bytes);
    Check(WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), narrow.data,
                              bytes, nullptr, usedDefault) == bytes,
          "wide text fills the size it asked for");
    if (bytes > 1) {
        Exact<char> tooSmall(bytes - 1);
        SetLastError(0);
        Check(WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                  tooSmall.data, bytes - 1, nullptr, nullptr) == 0 &&
                  GetLastError() == static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              "a destination one byte too small fails cleanly");
    }
    return std::string(narrow.data, static_cast<std::size_t>(bytes));
}

void NarrowToWideAndBack(UINT codePage, std::string_view narrow) {
    std::u16string wide = Decode(codePage, narrow);
    if (codePage == 1252) {
        Check(wide.size() == narrow.size(), "each Windows-1252 byte is one character");
        BOOL usedDefault = TRUE;
        Check(Encode(codePage, wide, &usedDefault) == narrow && !usedDefault,
              "Windows-1252 text comes back byte for byte");
    } else {
        bool wellFormed = fuzz::IsValidUtf8(narrow);
        std::u16string strict = Decode(codePage, narrow, MB_ERR_INVALID_CHARS);
        Check(strict.empty() != wellFormed, "strict decoding refuses exactly malformed UTF-8");
        Check(!wellFormed || (strict == wide && Encode(codePage, wide) == narrow),
              "well-formed UTF-8 comes back byte for byte");
        Check(!wellFormed || wide == platform::Utf8ToUtf16(narrow),
              "well-formed UTF-8 decodes as the program's own decoder reads it");
    }
    // The program's own conversion of a zero-terminated text.
    std::string text(narrow.substr(0, narrow.find('\0')));
    std::unique_ptr<WCHAR, decltype(&std::free)> converted(NarrowToWide(text.c_str()), std::free);
    Check(converted != nullptr &&
              (text.empty() ? std::u16string() : Decode(codePage, text)) == converted.get(),
          "NarrowToWide gives what MultiByteToWideChar gives");
}

void WideToNarrowAndBack(UINT codePage, std::u16string_view wide) {
    if (wide.empty()) {
        return;
    }
    BOOL usedDefault = FALSE;
    std::string narrow = Encode(codePage, wide, &usedDefault);
    if (codePage == CP_UTF8) {
        Check(fuzz::IsValidUtf8(narrow) && narrow == platform::Utf16ToUtf8(wide),
              "wide text is written as well-formed UTF-8 as the program's own encoder writes "
              "it, a lone surrogate as U+FFFD");
    } else {
        std::u16string back = Decode(codePage, narrow);
        bool changed = back != wide;
        Check(changed == (usedDefault != FALSE), "the default character is used exactly when a "
                                                 "character has no Windows-1252 form");
    }
    std::u16string text(wide.substr(0, wide.find(u'\0')));
    std::unique_ptr<char, decltype(&std::free)> converted(WideToNarrow(text.c_str()), std::free);
    Check(converted != nullptr &&
              (text.empty() ? std::string() : Encode(codePage, text)) == converted.get(),
          "WideToNarrow gives what WideCharToMultiByte gives");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    UINT codePage = (data[0] & 1) != 0 ? CP_UTF8 : 1252;
    platform::SetAnsiCodePage(codePage);
    if ((data[0] & 2) == 0) {
        std::string_view narrow(reinterpret_cast<const char*>(data) + 1, size - 1);
        if (!narrow.empty()) {
            NarrowToWideAndBack(codePage, narrow);
        }
    } else {
        std::u16string wide((size - 1) / 2, u'\0');
        std::memcpy(wide.data(), data + 1, wide.size() * 2);
        WideToNarrowAndBack(codePage, wide);
    }
    platform::SetAnsiCodePage(1252);
    return 0;
}
