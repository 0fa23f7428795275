// Conversion between the ANSI code page and wide (UTF-16) text through glibc's
// iconv. Windows-1252 leaves five bytes undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D);
// the device maps them to the control characters of the same value and back, and
// so does this file, where iconv refuses them.
#include "platform/core/codepage.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <string>

#include "platform/core/system.h"

static_assert(std::endian::native == std::endian::little,
              "wide text is handed to iconv as UTF-16LE");

namespace platform {
namespace {

UINT ansiCodePage = 1252;

// One iconv descriptor, opened on first use and kept for the life of the program.
class Converter {
  public:
    Converter(const char* to, const char* from) : descriptor_(iconv_open(to, from)) {}
    ~Converter() {
        if (Valid()) {
            iconv_close(descriptor_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Valid() const { return descriptor_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return descriptor_; }

  private:
    iconv_t descriptor_;
};

Converter& Decoder(UINT codePage) {
    static Converter fromWindows1252("UTF-16LE", "CP1252");
    static Converter fromUtf8("UTF-16LE", "UTF-8");
    return codePage == CP_UTF8 ? fromUtf8 : fromWindows1252;
}

Converter& Encoder(UINT codePage) {
    static Converter toWindows1252("CP1252", "UTF-16LE");
    static Converter toUtf8("UTF-8", "UTF-16LE");
    return codePage == CP_UTF8 ? toUtf8 : toWindows1252;
}

bool IsUndefined1252(unsigned value) {
    return value == 0x81 || value == 0x8D || value == 0x8F || value == 0x90 || value == 0x9D;
}

// Resolves CP_ACP; 0 for a code page this host does not convert.
UINT Resolve(UINT codePage) {
    if (codePage == CP_ACP) {
        return ansiCodePage;
    }
    return codePage == 1252 || codePage == CP_UTF8 ? codePage : 0;
}

// Decodes narrow bytes. Returns false when `strict` and the input is invalid.
bool Decode(UINT codePage, std::string_view input, bool strict, std::u16string& output) {
    Converter& converter = Decoder(codePage);
    if (!converter.Valid()) {
        return false;
    }
    iconv(converter.Get(), nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
        char16_t chunk[256];
        char* out = reinterpret_cast<char*>(chunk);
        std::size_t outLeft = sizeof chunk;
        std::size_t result = iconv(converter.Get(), &in, &inLeft, &out, &outLeft);
        output.append(chunk, (sizeof chunk - outLeft) / sizeof(char16_t));
        if (result != static_cast<std::size_t>(-1) || errno == E2BIG) {
            continue;
        }
        auto byte = static_cast<unsigned char>(*in);
        if (codePage == 1252 && IsUndefined1252(byte)) {
            output += static_cast<char16_t>(byte);
        } else if (strict) {
            return false;
        } else {
            output += u'\uFFFD';
        }
        // An invalid byte or a sequence cut short at the end: skip one byte.
        ++in;
        --inLeft;
    }
    return true;
}

// Encodes wide text; unmappable characters become `fallback` and set `usedDefault`.
bool Encode(UINT codePage, std::u16string_view input, std::string_view fallback,
            std::string& output, bool& usedDefault) {
    Converter& converter = Encoder(codePage);
    if (!converter.Valid()) {
        return false;
    }
    iconv(converter.Get(), nullptr, nullptr, nullptr, nullptr);
    char* in = reinterpret_cast<char*>(const_cast<char16_t*>(input.data()));
    std::size_t inLeft = input.size() * sizeof(char16_t);
    while (inLeft > 0) {
        char chunk[512];
        char* out = chunk;
        std::size_t outLeft = sizeof chunk;
        std::size_t result = iconv(converter.Get(), &in, &inLeft, &out, &outLeft);
        output.append(chunk, sizeof chunk - outLeft);
        if (result != static_cast<std::size_t>(-1) || errno == E2BIG) {
            continue;
        }
        char16_t unit;
        std::memcpy(&unit, in, sizeof unit);
        std::size_t skip = sizeof(char16_t);
        bool pairFollows = unit >= 0xD800 && unit <= 0xDBFF && inLeft >= 2 * sizeof(char16_t);
        if (pairFollows) {
            char16_t next;
            std::memcpy(&next, in + sizeof unit, sizeof next);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                skip = 2 * sizeof(char16_t);
            }
        }
        if (codePage == 1252 && IsUndefined1252(unit)) {
            output += static_cast<char>(unit);
        } else if (codePage == CP_UTF8) {
            output += "\xEF\xBF\xBD"; // an unpaired surrogate
        } else {
            output += fallback;
            usedDefault = true;
        }
        in += skip;
        inLeft -= skip;
    }
    return true;
}

} // namespace

bool SetAnsiCodePage(UINT codePage) {
    if (codePage != 1252 && codePage != CP_UTF8) {
        return false;
    }
    ansiCodePage = codePage;
    return true;
}

UINT AnsiCodePage() {
    return ansiCodePage;
}

} // namespace platform

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceLength,
                        LPWSTR destination, int destinationCapacity) {
    UINT resolved = platform::Resolve(codePage);
    if (resolved == 0 || source == nullptr || sourceLength == 0 || sourceLength < -1 ||
        destinationCapacity < 0 || (destination == nullptr && destinationCapacity > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::size_t length =
        sourceLength == -1 ? std::strlen(source) + 1 : static_cast<std::size_t>(sourceLength);
    std::u16string wide;
    bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
    if (!platform::Decode(resolved, std::string_view(source, length), strict, wide)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (destinationCapacity == 0) {
        return static_cast<int>(wide.size());
    }
    if (wide.size() > static_cast<std::size_t>(destinationCapacity)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    wide.copy(destination, wide.size());
    return static_cast<int>(wide.size());
}

int WideCharToMultiByte(UINT codePage, DWORD /*flags*/, LPCWSTR source, int sourceLength,
                        LPSTR destination, int destinationCapacity, LPCSTR defaultChar,
                        BOOL* usedDefault) {
    UINT resolved = platform::Resolve(codePage);
    if (resolved == 0 || source == nullptr || sourceLength == 0 || sourceLength < -1 ||
        destinationCapacity < 0 || (destination == nullptr && destinationCapacity > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::size_t length = sourceLength == -1 ? std::char_traits<char16_t>::length(source) + 1
                                            : static_cast<std::size_t>(sourceLength);
    std::string narrow;
    bool defaulted = false;
    std::string_view fallback = defaultChar != nullptr && defaultChar[0] != '\0'
                                    ? std::string_view(defaultChar, 1)
                                    : std::string_view("?");
    if (!platform::Encode(resolved, std::u16string_view(source, length), fallback, narrow,
                          defaulted)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (usedDefault != nullptr) {
        *usedDefault = defaulted ? TRUE : FALSE;
    }
    if (destinationCapacity == 0) {
        return static_cast<int>(narrow.size());
    }
    if (narrow.size() > static_cast<std::size_t>(destinationCapacity)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    narrow.copy(destination, narrow.size());
    return static_cast<int>(narrow.size());
}
