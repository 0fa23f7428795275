#include "platform/core/system.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

#include "platform/core/beep.h"
#include "platform/core/errors.h"
#include "platform/core/event_log.h"
#include "platform/core/output_queue.h"
#include "platform/core/recorder.h"
#include "platform/core/standard_streams.h"
#include "platform/core/unicode.h"

namespace {

thread_local DWORD lastError = 0;

std::function<void(UINT)>& BeepHandler() {
    static std::function<void(UINT)> handler = [](UINT) {
        if (::isatty(STDERR_FILENO) == 1) {
            (void)platform::WriteWithoutWaiting(STDERR_FILENO, "\a");
        }
    };
    return handler;
}

std::string& DebugLinePrefix() {
    static std::string prefix;
    return prefix;
}

bool& DebugLinesShown() {
    static bool shown = true;
    return shown;
}

// Debug lines go to standard error, which may be a closed pipe (the terminal or
// the program reading it went away). The line is then dropped, and the event log,
// where it still goes, says once why standard error has none. One that is only
// slow (not read for now, a paused terminal) is never waited for (output_queue.h).
void WriteToStandardError(const std::string& line) {
    static bool failing = false;
    std::string prefixed = platform::JournalPrefix(platform::JournalPriority::Info) + line;
    if (platform::WriteWithoutWaiting(STDERR_FILENO, prefixed)) {
        failing = false;
    } else if (!failing) {
        failing = true;
        std::string why = std::string("standard error cannot be written (") +
                          platform::ErrorText() + "); debug lines go only to the event log";
        platform::WriteEvent("debug",
                             "\"text\":" + platform::JsonString(platform::Utf8ToUtf16(why)));
    }
}

} // namespace

void platform::SetDebugLinesShown(bool shown) {
    DebugLinesShown() = shown;
}

void platform::SetDebugLineName(std::string_view program) {
    DebugLinePrefix() = program.empty() ? "" : std::string(program) + ": ";
}

void platform::SetBeepHandler(std::function<void(UINT)> handler) {
    BeepHandler() = std::move(handler);
}

DWORD GetLastError() {
    return lastError;
}

void SetLastError(DWORD error) {
    lastError = error;
}

BOOL MessageBeep(UINT type) {
    platform::WriteEvent("beep", "\"type\":" + std::to_string(type));
    if (platform::IsRecording()) {
        platform::Recorded().beeps.push_back(type);
        platform::Recorded().order.emplace_back("beep");
    }
    if (BeepHandler()) {
        BeepHandler()(type);
    }
    return TRUE;
}

void NKDbgPrintfW(LPCWSTR format, ...) {
    WCHAR buffer[1024];
    va_list args;
    va_start(args, format);
    int length = wvsprintfW(buffer, format, args);
    va_end(args);
    std::u16string_view text(buffer, static_cast<std::size_t>(length));
    // One line per call: a message's own trailing line break is not doubled.
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) {
        text.remove_suffix(1);
    }
    if (DebugLinesShown()) {
        WriteToStandardError(DebugLinePrefix() + platform::Utf16ToUtf8(text) + "\n");
    }
    platform::WriteEvent("debug", "\"text\":" + platform::JsonString(text));
    if (platform::IsRecording()) {
        platform::Recorded().debugLines.emplace_back(text);
        platform::Recorded().order.emplace_back("debug");
    }
}

void platform::DebugLine(std::string_view text) {
    NKDbgPrintfW(u"%s", Utf8ToUtf16(text).c_str());
}

namespace {

// Letters of ASCII and Latin-1; the ordinal and micro signs count as lower case.
WORD LetterClasses(char32_t c) {
    bool isUpper = (c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
    bool isLower = (c >= u'a' && c <= u'z') || (c >= 0xDF && c <= 0xFF && c != 0xF7) || c == 0xAA ||
                   c == 0xB5 || c == 0xBA;
    WORD classes = 0;
    if (isUpper) {
        classes |= _UPPER | _ALPHA;
    }
    if (isLower) {
        classes |= _LOWER | _ALPHA;
    }
    return classes;
}

// Digits and hexadecimal digits: the ASCII ones.
WORD DigitClasses(char32_t c) {
    WORD classes = 0;
    if (c >= u'0' && c <= u'9') {
        classes |= _DIGIT | _HEX;
    }
    if ((c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')) {
        classes |= _HEX;
    }
    return classes;
}

// White space, blanks and control characters.
WORD LayoutClasses(char32_t c) {
    WORD classes = 0;
    if (c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0) {
        classes |= _SPACE;
    }
    if (c == u' ' || c == u'\t' || c == 0xA0) {
        classes |= _BLANK;
    }
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
        classes |= _CONTROL;
    }
    return classes;
}

} // namespace

int iswctype(WCHAR character, WORD classMask) {
    // Digits and hexadecimal digits are the ASCII ones, which is all the escape
    // machine asks about; the other classes cover ASCII and Latin-1, the range the
    // device's narrow text maps into.
    char32_t c = character;
    WORD classes = LetterClasses(c) | DigitClasses(c) | LayoutClasses(c);
    bool printable = c > 0x20 && c < 0x7F;
    bool latinPunct = c >= 0xA1 && c <= 0xBF && c != 0xAA && c != 0xB5 && c != 0xBA;
    if ((printable && !(classes & (_ALPHA | _DIGIT))) || latinPunct || c == 0xD7 || c == 0xF7) {
        classes |= _PUNCT;
    }
    return (classes & classMask) != 0 ? 1 : 0;
}
