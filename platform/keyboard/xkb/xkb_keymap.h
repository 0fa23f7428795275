// Which keys to press for a keysym on a given keyboard layout, worked out with
// libxkbcommon. Both sinks that press real keys use it: the X11 sink with the
// server's own keymap, the uinput sink with a keymap compiled from a layout name.
// It is pure computation over the keymap, so tests can check the choices without
// a keyboard device or a display.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <xkbcommon/xkbcommon.h>

namespace platform {

struct XkbContextDeleter {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct XkbKeymapDeleter {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
struct XkbStateDeleter {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
using XkbContextPtr = std::unique_ptr<xkb_context, XkbContextDeleter>;
using XkbKeymapPtr = std::unique_ptr<xkb_keymap, XkbKeymapDeleter>;
using XkbStatePtr = std::unique_ptr<xkb_state, XkbStateDeleter>;

// A new libxkbcommon context with the default include paths; nullptr on failure.
XkbContextPtr MakeXkbContext();

// Compiles the keymap a desktop would use for `layout`: a layout name ("us",
// "de") or a layout with its variant ("de(nodeadkeys)"). Rules, model and
// options are libxkbcommon's defaults (XKB_DEFAULT_RULES and friends). Returns
// nullptr with `error` set to a sentence when the layout cannot be compiled.
XkbKeymapPtr CompileLayoutKeymap(xkb_context* context, const std::string& layout,
                                 std::string& error);

// One key press that gives a keysym: the modifier keys held around it, pressed
// in order before the key and released in reverse order after it.
struct KeyChord {
    xkb_keycode_t key = XKB_KEYCODE_INVALID;
    std::vector<xkb_keycode_t> modifiers;
    bool operator==(const KeyChord&) const = default;
};

// The part of the keyboard state that the sink does not control but that
// decides what a key gives: the locked modifiers (Caps Lock, Num Lock) as an
// XKB modifier mask, and the layout (group) in effect.
struct KeyboardLocks {
    xkb_mod_mask_t lockedModifiers = 0;
    xkb_layout_index_t layout = 0;
};

class KeyChordFinder {
  public:
    // Indexes the keymap; the finder holds its own reference to it.
    explicit KeyChordFinder(xkb_keymap* keymap);

    // The chord that makes `keysym` arrive while `locks` are in effect, judged by
    // the same rules an X or Wayland client decodes keys with (key types, level
    // choice, Caps Lock capitalisation). Only Shift and the level-three and
    // level-five keys (AltGr) are used as modifiers: Control or Alt would reach
    // the application as shortcuts. Keys of the typing block are preferred to
    // keypad and extra keys (which remote desktops and virtual machines may not
    // pass on); then fewest modifiers win, then the lower level.
    // nullopt when no key of the layout in effect gives the keysym.
    std::optional<KeyChord> Find(xkb_keysym_t keysym, const KeyboardLocks& locks) const;

    // The key that holds `keysym` in the layout in effect, pressed without
    // modifiers, whatever the locks make of it: for bare keys, which name a key
    // rather than a character. nullopt when no key holds it.
    std::optional<KeyChord> FindKey(xkb_keysym_t keysym, xkb_layout_index_t layout) const;

    // For a character that the layout offers only as a dead key (the "^" and "`"
    // of "de"): the dead key followed by space, which compose tables turn into
    // the accent's own character. Empty when there is no such pair.
    std::vector<KeyChord> FindDeadKeySequence(xkb_keysym_t keysym,
                                              const KeyboardLocks& locks) const;

    // Keycodes (8..255, the range X clients can address) that hold no symbol in
    // any layout or level: free to bind to a symbol the layout lacks.
    std::vector<xkb_keycode_t> UnusedKeycodes() const;

    // Converts core X modifier bits (Shift 0x01, Lock 0x02, Control 0x04,
    // Mod1 0x08 .. Mod5 0x80) to this keymap's modifier mask.
    xkb_mod_mask_t FromCoreModifiers(unsigned int coreMask) const;

    xkb_keymap* Keymap() const { return keymap_.get(); }

  private:
    struct Position {
        xkb_keycode_t key;
        xkb_layout_index_t layout;
        xkb_level_index_t level;
        int rank; // 0 for the typing keys, then other keys, then extra keys
    };
    struct ModifierKey {
        xkb_keycode_t key;
        xkb_mod_mask_t modifiers;
        int rank;
    };

    void IndexSymbols();
    void IndexModifierKeys();
    std::optional<KeyChord> TryChords(const Position& position, std::size_t keyCount,
                                      xkb_keysym_t keysym, const KeyboardLocks& locks) const;
    bool Gives(xkb_keycode_t key, xkb_mod_mask_t held, const KeyboardLocks& locks,
               xkb_keysym_t keysym) const;

    XkbKeymapPtr keymap_;
    XkbStatePtr scratch_; // reset before every use
    std::unordered_map<xkb_keysym_t, std::vector<Position>> positions_;
    // Per layout, the best key for each distinct set of modifiers a key holds.
    std::vector<std::vector<ModifierKey>> modifierKeys_;
};

} // namespace platform
