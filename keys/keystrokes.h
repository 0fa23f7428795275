// Keystroke synthesis: every character becomes key events posted to the window
// with the keyboard focus, with an optional escape mode in which a backslash
// starts a control character, a hexadecimal character or a bare virtual key.
#pragma once

#include "platform/core/types.h"

// The words of one posted event besides its virtual-key code.
struct KeyEvent {
    DWORD flags;
    DWORD shiftState;
    DWORD character; // 0 when the event carries no character
};

// Progress of a half-read escape sequence; it carries over from one call, text
// and read to the next for the life of the program.
struct EscapeStateRecord {
    BOOL escapePending;
    INT hexDigit; // 0 none, 1 first digit awaited, 2 second digit awaited
    BYTE hexValue;
    BOOL virtualKeyMode;
};
extern EscapeStateRecord EscapeState;

// Types `count` characters when `useCount` is set, else up to the terminator.
// A null text types nothing.
void TypeText(const WCHAR* text, BOOL escapes, BOOL suppress, BOOL useCount, DWORD count);

// Runs one character through the escape machine and posts its stroke, if any.
void TypeChar(WCHAR ch, BOOL escapes, BOOL suppress);

// Posts Shift down (if withShift), down, up, Shift up (if withShift); nothing
// when `suppress` is set.
void PostKeyStroke(BYTE virtualKey, KeyEvent down, KeyEvent up, BOOL withShift, BOOL suppress);
