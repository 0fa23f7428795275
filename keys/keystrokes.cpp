#include "keys/keystrokes.h"

#include <string>

#include "keys/key_tables.h"
#include "platform/core/system.h"
#include "platform/keyboard/keyboard.h"

EscapeStateRecord EscapeState = {FALSE, 0, 0, FALSE};

namespace {

// The window handle -1 stands for the window that has the keyboard focus.
HWND const FocusWindow = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

constexpr DWORD kDownFlags = KeyStateDownFlag;                                 // 0x00000080
constexpr DWORD kUpFlags = KeyShiftNoCharacterFlag | KeyStateToggledFlag;      // 0x00010001
constexpr DWORD kNoCharDownFlags = KeyShiftNoCharacterFlag | KeyStateDownFlag; // 0x00010080

void PostEvent(BYTE virtualKey, const KeyEvent& event) {
    UINT shiftState = event.shiftState;
    UINT character = event.character;
    PostKeybdMessage(FocusWindow, virtualKey, event.flags, 1, &shiftState, &character);
}

// A character stroke: the key-down event carries the whole 16-bit code; the
// virtual key and Shift come from the table row of its low 8 bits.
void PostCharacterStroke(WCHAR ch, BOOL suppress) {
    BYTE virtualKey = CharToVirtualKey[ch & 0xFF];
    BOOL shift = CharNeedsShift[ch & 0xFF] != 0;
    PostKeyStroke(virtualKey, {kDownFlags, kDownFlags, ch}, {kUpFlags, KeyShiftNoCharacterFlag, 0},
                  shift, suppress);
}

// A bare-key stroke: a virtual key with no character and no Shift.
void PostBareKeyStroke(BYTE virtualKey, BOOL suppress) {
    PostKeyStroke(virtualKey, {kNoCharDownFlags, kNoCharDownFlags, 0},
                  {kUpFlags, KeyShiftNoCharacterFlag, 0}, FALSE, suppress);
}

} // namespace

void PostKeyStroke(BYTE virtualKey, KeyEvent down, KeyEvent up, BOOL withShift, BOOL suppress) {
    if (suppress) {
        return;
    }
    if (withShift) {
        PostEvent(VK_SHIFT, {kNoCharDownFlags, kNoCharDownFlags, 0});
    }
    PostEvent(virtualKey, down);
    PostEvent(virtualKey, up);
    if (withShift) {
        PostEvent(VK_SHIFT, {kUpFlags, KeyShiftNoCharacterFlag, 0});
    }
}

void TypeChar(WCHAR ch, BOOL escapes, BOOL suppress) {
    // Backslash: starts an escape, or ends one as a literal backslash.
    if (escapes && ch == u'\\') {
        if (!EscapeState.escapePending) {
            EscapeState.escapePending = TRUE;
            return;
        }
        EscapeState.escapePending = FALSE;
    } else if (EscapeState.escapePending) {
        // Escape letter, whatever this call's escape mode is.
        EscapeState.escapePending = FALSE;
        switch (ch) {
        case u'b':
            ch = 8;
            break;
        case u'f':
            ch = 12;
            break;
        case u'n':
            ch = 10;
            break;
        case u'r':
            ch = 13;
            break;
        case u't':
            ch = 9;
            break;
        case u'v':
            EscapeState.hexValue = 0;
            EscapeState.virtualKeyMode = TRUE;
            EscapeState.hexDigit = 1;
            return;
        case u'x':
            EscapeState.hexValue = 0;
            EscapeState.hexDigit = 1;
            EscapeState.virtualKeyMode = FALSE;
            return;
        default:
            break; // the backslash is dropped, the character typed
        }
    }

    // Hexadecimal digits of an \x or \v escape.
    if (EscapeState.hexDigit == 1 || EscapeState.hexDigit == 2) {
        if (!iswctype(ch, _HEX)) {
            EscapeState.hexDigit = 0;
            EscapeState.virtualKeyMode = FALSE;
            return;
        }
        unsigned adjust = iswctype(ch, _DIGIT) ? 0 : 9;
        EscapeState.hexValue =
            static_cast<BYTE>(((EscapeState.hexValue * 16u) % 256u + (ch & 0x0Fu) + adjust) % 256u);
        if (EscapeState.hexDigit == 1) {
            EscapeState.hexDigit = 2;
            return;
        }
        EscapeState.hexDigit = 0;
        ch = EscapeState.hexValue;
    }

    // Post the stroke: a bare key for \v, else the character.
    if (EscapeState.virtualKeyMode) {
        PostBareKeyStroke(static_cast<BYTE>(ch & 0xFF), suppress);
    } else {
        PostCharacterStroke(ch, suppress);
    }
    // A \v escape covers one key only.
    EscapeState.virtualKeyMode = FALSE;
}

void TypeText(const WCHAR* text, BOOL escapes, BOOL suppress, BOOL useCount, DWORD count) {
    if (text == nullptr) {
        return;
    }
    DWORD length = useCount ? count : static_cast<DWORD>(std::char_traits<char16_t>::length(text));
    for (DWORD i = 0; i < length; ++i) {
        TypeChar(text[i], escapes, suppress);
    }
}
