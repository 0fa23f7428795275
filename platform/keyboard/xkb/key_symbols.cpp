#include "platform/keyboard/xkb/key_symbols.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include "platform/core/virtual_keys.h"

namespace platform {
namespace {

struct VirtualKeyName {
    UINT virtualKey;
    xkb_keysym_t keysym;
};

// Codes whose key has one fixed meaning. Letters, digits, keypad digits and the
// function keys are ranges, handled in KeysymForVirtualKey.
constexpr VirtualKeyName NamedKeys[] = {
    {0x08, XKB_KEY_BackSpace},
    {0x09, XKB_KEY_Tab},
    {0x0C, XKB_KEY_Clear},
    {0x0D, XKB_KEY_Return},
    {0x13, XKB_KEY_Pause},
    {0x14, XKB_KEY_Caps_Lock},
    {0x1B, XKB_KEY_Escape},
    {0x20, XKB_KEY_space},
    {0x21, XKB_KEY_Prior},
    {0x22, XKB_KEY_Next},
    {0x23, XKB_KEY_End},
    {0x24, XKB_KEY_Home},
    {0x25, XKB_KEY_Left},
    {0x26, XKB_KEY_Up},
    {0x27, XKB_KEY_Right},
    {0x28, XKB_KEY_Down},
    {0x29, XKB_KEY_Select},
    {0x2A, XKB_KEY_Print},
    {0x2B, XKB_KEY_Execute},
    {0x2C, XKB_KEY_Print},
    {0x2D, XKB_KEY_Insert},
    {0x2E, XKB_KEY_Delete},
    {0x2F, XKB_KEY_Help},
    {0x5B, XKB_KEY_Super_L},
    {0x5C, XKB_KEY_Super_R},
    {0x5D, XKB_KEY_Menu},
    {0x6A, XKB_KEY_KP_Multiply},
    {0x6B, XKB_KEY_KP_Add},
    {0x6C, XKB_KEY_KP_Separator},
    {0x6D, XKB_KEY_KP_Subtract},
    {0x6E, XKB_KEY_KP_Decimal},
    {0x6F, XKB_KEY_KP_Divide},
    {0x90, XKB_KEY_Num_Lock},
    {0x91, XKB_KEY_Scroll_Lock},
    // The punctuation codes name the keys of a US keyboard by what they type there.
    {0xBA, XKB_KEY_semicolon},
    {0xBB, XKB_KEY_equal},
    {0xBC, XKB_KEY_comma},
    {0xBD, XKB_KEY_minus},
    {0xBE, XKB_KEY_period},
    {0xBF, XKB_KEY_slash},
    {0xC0, XKB_KEY_grave},
    {0xDB, XKB_KEY_bracketleft},
    {0xDC, XKB_KEY_backslash},
    {0xDD, XKB_KEY_bracketright},
    {0xDE, XKB_KEY_apostrophe},
};

} // namespace

xkb_keysym_t KeysymForCharacter(char32_t character) {
    switch (character) {
    case 0x08:
        return XKB_KEY_BackSpace;
    case 0x09:
        return XKB_KEY_Tab;
    case 0x0A:
        return XKB_KEY_Linefeed;
    case 0x0D:
        return XKB_KEY_Return;
    case 0x1B:
        return XKB_KEY_Escape;
    case 0x7F:
        return XKB_KEY_Delete;
    default:
        break;
    }
    bool control = character < 0x20 || (character >= 0x80 && character < 0xA0);
    bool surrogate = character >= 0xD800 && character <= 0xDFFF;
    if (control || surrogate || character > 0x10FFFF) {
        return XKB_KEY_NoSymbol;
    }
    return xkb_utf32_to_keysym(character);
}

xkb_keysym_t KeysymForVirtualKey(UINT virtualKey) {
    if (virtualKey >= 'A' && virtualKey <= 'Z') {
        return XKB_KEY_a + (virtualKey - 'A');
    }
    if (virtualKey >= '0' && virtualKey <= '9') {
        return XKB_KEY_0 + (virtualKey - '0');
    }
    if (virtualKey >= 0x60 && virtualKey <= 0x69) {
        return XKB_KEY_KP_0 + (virtualKey - 0x60);
    }
    if (virtualKey >= 0x70 && virtualKey <= 0x87) {
        return XKB_KEY_F1 + (virtualKey - 0x70);
    }
    for (const VirtualKeyName& named : NamedKeys) {
        if (named.virtualKey == virtualKey) {
            return named.keysym;
        }
    }
    return XKB_KEY_NoSymbol;
}

const char16_t* CharacterClassName(char32_t character) {
    if (character < 0x20 || (character >= 0x7F && character < 0xA0)) {
        return u"a control character";
    }
    if (character >= U'0' && character <= U'9') {
        return u"a digit";
    }
    if ((character | 0x20) >= U'a' && (character | 0x20) <= U'z') {
        return u"an ASCII letter";
    }
    return character < 0x7F ? u"an ASCII symbol" : u"a non-ASCII character";
}

bool IsModifierVirtualKey(UINT virtualKey) {
    return (virtualKey >= 0x10 && virtualKey <= 0x12) || (virtualKey >= 0xA0 && virtualKey <= 0xA5);
}

std::vector<char32_t> SurrogateJoiner::Feed(char16_t unit) {
    constexpr char32_t Replacement = 0xFFFD;
    bool high = unit >= 0xD800 && unit <= 0xDBFF;
    bool low = unit >= 0xDC00 && unit <= 0xDFFF;
    std::vector<char32_t> complete;
    char16_t pending = pendingHigh_;
    pendingHigh_ = 0;
    if (pending != 0 && low) {
        complete.push_back(0x10000 + ((char32_t{pending} - 0xD800) << 10) + (unit - 0xDC00));
        return complete;
    }
    if (pending != 0) {
        complete.push_back(Replacement);
    }
    if (high) {
        pendingHigh_ = unit;
    } else {
        complete.push_back(low ? Replacement : char32_t{unit});
    }
    return complete;
}

bool PostKeyDown(const KeyEvent& event, SurrogateJoiner& joiner,
                 const std::function<bool(char32_t)>& typeCharacter,
                 const std::function<bool(UINT)>& pressBareKey) {
    if ((event.flags & KeyStateDownFlag) == 0) {
        return true;
    }
    if (event.character != 0) {
        bool typed = true;
        for (char32_t character : joiner.Feed(static_cast<char16_t>(event.character & 0xFFFF))) {
            typed = typeCharacter(character) && typed;
        }
        return typed;
    }
    if (event.virtualKey == 0 || IsModifierVirtualKey(event.virtualKey)) {
        return true;
    }
    return pressBareKey(event.virtualKey);
}

} // namespace platform
