// What a key event asks the keyboard for, in XKB keysyms: the character of a
// key-down event, or the key that a bare virtual-key code names. The sinks that
// press real keys look these keysyms up in the keyboard layout.
#pragma once

#include <functional>
#include <vector>

#include <xkbcommon/xkbcommon.h>

#include "platform/core/types.h"
#include "platform/keyboard/key_sink.h"

namespace platform {

// The keysym that types `character` (a Unicode code point). Control characters
// with a key of their own (backspace, tab, line feed, carriage return, escape,
// delete) give that key; other control characters and surrogates give
// XKB_KEY_NoSymbol, because only a Control chord could produce them and that
// would trigger application shortcuts instead.
xkb_keysym_t KeysymForCharacter(char32_t character);

// The keysym of the key that a virtual-key code names, for bare-key strokes:
// letters give the small letter, digits the digit, VK_NUMPAD0..9 the keypad
// digit, and so on. XKB_KEY_NoSymbol when the code names no key of this host.
xkb_keysym_t KeysymForVirtualKey(UINT virtualKey);

// How the sinks name a character they cannot type in a debug line, without the
// character itself, which may be card data: "a control character", "a digit",
// "an ASCII letter", "an ASCII symbol" or "a non-ASCII character".
const char16_t* CharacterClassName(char32_t character);

// True for the Shift, Control and Alt codes. Their events only frame a
// character, which chooses its own modifiers, so the sinks ignore them.
bool IsModifierVirtualKey(UINT virtualKey);

// Joins the UTF-16 halves that key events carry one at a time: a character
// above U+FFFF arrives as two events. Feed returns the characters complete after
// `unit`: none while a high half waits for its partner, else one, or two when a
// waiting high half had no partner (it becomes U+FFFD, as does a lone low half).
class SurrogateJoiner {
  public:
    std::vector<char32_t> Feed(char16_t unit);

  private:
    char16_t pendingHigh_ = 0;
};

// The key-down half of a key event, for a sink that types characters by
// themselves: each character the event completes goes to `typeCharacter`, a bare
// key that is no modifier to `pressBareKey`; a key-up, a modifier or an event
// naming nothing types nothing. True when everything asked for was typed.
bool PostKeyDown(const KeyEvent& event, SurrogateJoiner& joiner,
                 const std::function<bool(char32_t)>& typeCharacter,
                 const std::function<bool(UINT)>& pressBareKey);

} // namespace platform
