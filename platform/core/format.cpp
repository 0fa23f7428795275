// wsprintfW: the device's small formatter, enough for the program's messages and
// device names. Output is capped at 1024 wide characters including the terminator,
// as on the device, so no format can run past a caller's 1024-unit buffer.
#include <cstdarg>
#include <string>

#include "platform/core/system.h"

namespace {

constexpr std::size_t kFormatLimit = 1024;

struct Spec {
    bool leftAlign = false;
    bool zeroPad = false;
    int width = 0;
    int precision = -1;
    char size = 0; // 'l', 'h' or 0
};

void Pad(std::u16string& out, std::u16string_view text, const Spec& spec, bool numeric) {
    std::size_t width = spec.width > 0 ? static_cast<std::size_t>(spec.width) : 0;
    if (text.size() >= width) {
        out += text;
        return;
    }
    std::size_t fill = width - text.size();
    if (spec.leftAlign) {
        out += text;
        out.append(fill, u' ');
    } else if (spec.zeroPad && numeric) {
        // Zeros go between the sign and the digits.
        if (!text.empty() && text[0] == u'-') {
            out += u'-';
            text.remove_prefix(1);
        }
        out.append(fill, u'0');
        out += text;
    } else {
        out.append(fill, u' ');
        out += text;
    }
}

std::u16string Digits(unsigned long long value, unsigned base, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::u16string text;
    do {
        text.insert(text.begin(), static_cast<char16_t>(digits[value % base]));
        value /= base;
    } while (value != 0);
    return text;
}

long long SignedArgument(va_list& args, const Spec& spec) {
    if (spec.size == 'l') {
        return va_arg(args, long);
    }
    int value = va_arg(args, int);
    return spec.size == 'h' ? static_cast<short>(value) : value;
}

unsigned long long UnsignedArgument(va_list& args, const Spec& spec) {
    if (spec.size == 'l') {
        return va_arg(args, unsigned long);
    }
    unsigned value = va_arg(args, unsigned);
    return spec.size == 'h' ? static_cast<unsigned short>(value) : value;
}

std::u16string FormatOne(char16_t conversion, const Spec& spec, va_list& args) {
    std::u16string piece;
    switch (conversion) {
    case u'd':
    case u'i': {
        long long value = SignedArgument(args, spec);
        unsigned long long magnitude =
            value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
        std::u16string text = (value < 0 ? u"-" : u"") + Digits(magnitude, 10, false);
        Pad(piece, text, spec, true);
        break;
    }
    case u'u':
        Pad(piece, Digits(UnsignedArgument(args, spec), 10, false), spec, true);
        break;
    case u'x':
        Pad(piece, Digits(UnsignedArgument(args, spec), 16, false), spec, true);
        break;
    case u'X':
        Pad(piece, Digits(UnsignedArgument(args, spec), 16, true), spec, true);
        break;
    case u'c': {
        char16_t character = static_cast<char16_t>(va_arg(args, int));
        Pad(piece, std::u16string_view(&character, 1), spec, false);
        break;
    }
    case u's': {
        const WCHAR* text = va_arg(args, const WCHAR*);
        std::u16string_view view = text != nullptr ? std::u16string_view(text) : u"(null)";
        if (spec.precision >= 0 && view.size() > static_cast<std::size_t>(spec.precision)) {
            view = view.substr(0, static_cast<std::size_t>(spec.precision));
        }
        Pad(piece, view, spec, false);
        break;
    }
    case u'S': {
        // Narrow text is widened byte for byte; the messages that use it are ASCII.
        const char* text = va_arg(args, const char*);
        std::u16string wide;
        for (const char* p = text != nullptr ? text : "(null)"; *p != '\0'; ++p) {
            if (spec.precision >= 0 && wide.size() >= static_cast<std::size_t>(spec.precision)) {
                break;
            }
            wide += static_cast<char16_t>(static_cast<unsigned char>(*p));
        }
        Pad(piece, wide, spec, false);
        break;
    }
    default:
        // An unknown conversion is copied as it stands, as the device does.
        piece += conversion;
    }
    return piece;
}

// A width or precision, held at 10000 so that a long run of digits cannot
// overflow; p is left after its digits.
int ParseCount(const WCHAR*& p) {
    int count = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        count = count < 10000 ? count * 10 + (*p - u'0') : count;
    }
    return count;
}

// The flags, width, precision and size after a '%'; p is left on the
// conversion letter.
Spec ParseSpec(const WCHAR*& p) {
    Spec spec;
    for (; *p == u'-' || *p == u'0'; ++p) {
        if (*p == u'-') {
            spec.leftAlign = true;
        } else {
            spec.zeroPad = true;
        }
    }
    spec.width = ParseCount(p);
    if (*p == u'.') {
        ++p;
        spec.precision = ParseCount(p);
    }
    if (*p == u'l' || *p == u'h') {
        spec.size = static_cast<char>(*p);
        ++p;
    }
    return spec;
}

} // namespace

int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list arguments) {
    if (buffer == nullptr) {
        return 0;
    }
    std::u16string out;
    va_list args;
    va_copy(args, arguments);
    for (const WCHAR* p = format != nullptr ? format : u""; *p != u'\0'; ++p) {
        if (*p != u'%') {
            out += *p;
            continue;
        }
        ++p;
        if (*p == u'%') {
            out += u'%';
            continue;
        }
        Spec spec = ParseSpec(p);
        if (*p == u'\0') {
            break;
        }
        out += FormatOne(*p, spec, args);
        if (out.size() >= kFormatLimit) {
            break;
        }
    }
    va_end(args);
    if (out.size() > kFormatLimit - 1) {
        out.resize(kFormatLimit - 1);
    }
    out.copy(buffer, out.size());
    buffer[out.size()] = u'\0';
    return static_cast<int>(out.size());
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    int written = wvsprintfW(buffer, format, args);
    va_end(args);
    return written;
}
