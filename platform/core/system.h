// System services of the device: tick count and sleep, beeps, debug output, the
// last-error value, text conversion between the ANSI code page and wide text,
// wide formatting and wide character classification.
#pragma once

#include <cstdarg>
#include <string_view>

#include "platform/core/types.h"

// Milliseconds since start-up; 32 bits, wrapping after about 49.7 days.
DWORD GetTickCount();
void Sleep(DWORD milliseconds);

// Sound types of MessageBeep.
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONASTERISK = 0x00000040;
BOOL MessageBeep(UINT type);

// Debug output: to standard error and to the event log, one line per call.
void NKDbgPrintfW(LPCWSTR format, ...);

namespace platform {

// A debug line from UTF-8 text (bytes that are no UTF-8 shown as U+FFFD): the
// one way to write one from text this program or a library put together.
void DebugLine(std::string_view text);

} // namespace platform

namespace platform {

// The program's name, put before each debug line on standard error
// ("swipetype: ...") as before every other line the program writes there;
// none until it is set. The event log's lines are unchanged.
void SetDebugLineName(std::string_view program);

// Whether debug lines go to standard error (the default). A tool that says
// each outcome in its own one line turns them off, so the platform's report
// of the same fault does not make it two.
void SetDebugLinesShown(bool shown);

} // namespace platform

DWORD GetLastError();
void SetLastError(DWORD error);

// Code pages. CP_ACP is the ANSI code page chosen at start-up (Windows-1252
// unless the host selected UTF-8).
constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;
constexpr DWORD MB_PRECOMPOSED = 0x00000001;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;

// Converts narrow text to wide. A source length of -1 converts up to and
// including the terminator. A destination capacity of 0 returns the number of
// wide characters needed. Returns the characters written, or 0 with the last
// error set (ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER,
// ERROR_NO_UNICODE_TRANSLATION).
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceLength,
                        LPWSTR destination, int destinationCapacity);

// Converts wide text to narrow. Characters the code page lacks become the default
// character ("?" unless given) and set *usedDefault. Same length conventions and
// results as MultiByteToWideChar.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int sourceLength,
                        LPSTR destination, int destinationCapacity, LPCSTR defaultChar,
                        BOOL* usedDefault);

// Formats into a buffer of at most 1024 wide characters, as the device's
// wsprintfW does: %d %i %u %x %X %c %s (wide) %S (narrow) %%, with the flags
// "-" and "0", a width, and the size prefixes l and h. Returns the characters
// written, not counting the terminator.
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list arguments);

// Character classes of iswctype.
constexpr WORD _UPPER = 0x0001;
constexpr WORD _LOWER = 0x0002;
constexpr WORD _DIGIT = 0x0004;
constexpr WORD _SPACE = 0x0008;
constexpr WORD _PUNCT = 0x0010;
constexpr WORD _CONTROL = 0x0020;
constexpr WORD _BLANK = 0x0040;
constexpr WORD _HEX = 0x0080;
constexpr WORD _ALPHA = 0x0100;

// Nonzero when the 16-bit character belongs to any of the classes in the mask.
int iswctype(WCHAR character, WORD classMask);
