// The keymap the Wayland sink hands the compositor for its virtual keyboard.
// Every keysym it types has a key of its own that gives it at the first level,
// with no modifier: the keymap has no modifier actions and the sink never sets
// a modifier, so what a key gives depends on nothing else (not the user's
// layout, not Caps Lock on another keyboard).
//
// It starts with the printable ASCII characters and the keys of plain text
// (Return, Tab, BackSpace, Escape, Delete, Linefeed); a keysym it lacks is given
// a free key, else the key used least recently, and the keymap must then be
// handed over again. That is safe at any time, because the sink releases every
// key it presses at once and the compositor handles the client's requests in
// order: keys sent before the new keymap are passed on with the old one.
//
// Keys are XKB keycodes 9 to 255, the range X clients of XWayland can address.
// Where a keysym has its key on a US keyboard at the first level (a, 1,
// Return...), it is given that key while it is free, so that programs that look
// at key codes rather than keysyms see the usual ones.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <xkbcommon/xkbcommon.h>

namespace platform {

class VirtualKeymap {
  public:
    VirtualKeymap();

    // The key that gives `keysym`, or nullopt when the keymap lacks it. A key
    // found counts as used now.
    std::optional<xkb_keycode_t> KeyFor(xkb_keysym_t keysym);

    // Gives `keysym` a key and returns it; the keymap's text changes.
    xkb_keycode_t Add(xkb_keysym_t keysym);

    // The keymap in XKB_KEYMAP_FORMAT_TEXT_V1 as libxkbcommon writes it out after
    // compiling it, so that it needs no include files where it is read. Empty
    // with `error` set when it does not compile.
    std::string Text(std::string& error) const;

    std::size_t KeyCount() const { return keysymOf_.size(); }

  private:
    static constexpr xkb_keycode_t kFirstKey = 9;
    static constexpr xkb_keycode_t kLastKey = 255;

    xkb_keycode_t FreeKeyFor(xkb_keysym_t keysym) const;
    void Bind(xkb_keycode_t key, xkb_keysym_t keysym);

    std::unordered_map<xkb_keysym_t, xkb_keycode_t> keyOf_;
    std::unordered_map<xkb_keycode_t, xkb_keysym_t> keysymOf_;
    std::vector<std::uint64_t> lastUse_; // by key, kFirstKey first
    std::uint64_t uses_ = 0;
    // The key of each keysym at the first level of a US keyboard.
    std::unordered_map<xkb_keysym_t, xkb_keycode_t> usKey_;
};

} // namespace platform
