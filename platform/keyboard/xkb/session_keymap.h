// The keymap of the session: what the keys a sink presses give on this desktop.
// A sink that sends key codes (a uinput keyboard, KWin's fake input) does not
// choose the layout; the compositor, the X server or the console turns its codes
// into characters with the layout the person uses. So the keymap is read from
// where that layout lives, in this order:
//
//   --layout (or XKB_DEFAULT_LAYOUT)  the person's word overrides everything
//   the Wayland compositor            wl_keyboard.keymap of its first seat, and
//                                     every keymap it sends later
//   the X server                      its XKB keymap, read again when it changes
//   the console                       XKBLAYOUT and friends of /etc/default/keyboard
//   "us"                              when none of them answers
//
// It answers, for a character, whether and with which keys it can be typed now.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/keyboard/xkb/xkb_keymap.h"

namespace platform {

// Where the keymap is looked for; empty texts mean the session's own.
struct SessionKeymapSettings {
    std::string layoutOverride;                        // --layout, "" for none
    std::string consoleFile = "/etc/default/keyboard"; // the console's configuration
    std::string xDisplay;                              // "" means $DISPLAY
};

class SessionKeymap {
  public:
    // Something that hands out keymaps and may send a new one later.
    class Source {
      public:
        virtual ~Source() = default;
        // The descriptor to wait on for a new keymap, or -1.
        virtual int Descriptor() const { return -1; }
        // Reads what arrived without waiting: a new keymap when one came, else
        // nullptr. `lost` is set when the source has gone.
        virtual XkbKeymapPtr Take(bool& lost) {
            lost = false;
            return nullptr;
        }
    };

    // `origin` says where the keymap came from: "--layout", "the Wayland
    // compositor wayland-0"...
    SessionKeymap(XkbKeymapPtr keymap, std::string origin, std::unique_ptr<Source> source = {});

    // The keymap from the first place above that answers. nullptr with `error`
    // set only when the layout given is unknown or nothing can be compiled.
    static std::unique_ptr<SessionKeymap> Find(const SessionKeymapSettings& settings,
                                               std::string& error);

    // The keymap of each place alone; nullptr with `error` set when it does not
    // answer.
    static std::unique_ptr<SessionKeymap> FromLayout(const std::string& layout, std::string origin,
                                                     std::string& error);
    static std::unique_ptr<SessionKeymap> FromCompositor(std::string& error);
    static std::unique_ptr<SessionKeymap> FromXServer(const std::string& display,
                                                      std::string& error);
    static std::unique_ptr<SessionKeymap> FromConsoleFile(const std::string& path,
                                                          std::string& error);

    // `layout "German" (from the Wayland compositor wayland-0)`, for messages.
    std::string Describe() const;
    // The first layout's name as the keymap gives it ("German", "English (US)").
    std::string LayoutName() const;
    const std::string& Origin() const { return origin_; }

    // The keys that type `character` while `locks` are in effect, in order (a
    // dead key then space for an accent the layout offers only as a dead key).
    // Empty when the keymap cannot type it.
    std::vector<KeyChord> Chords(char32_t character, const KeyboardLocks& locks) const;
    bool CanType(char32_t character, const KeyboardLocks& locks) const {
        return !Chords(character, locks).empty();
    }

    const KeyChordFinder& Finder() const { return *finder_; }
    xkb_keymap* Keymap() const { return finder_->Keymap(); }

    // Following the source: its descriptor (-1 when it sends nothing more), and
    // taking what it sent without waiting. Follow returns false once the source
    // has gone (the keymap stays the last one seen); Changes() counts the
    // keymaps taken after the first.
    int Descriptor() const { return source_ ? source_->Descriptor() : -1; }
    bool Follow();
    unsigned int Changes() const { return changes_; }

  private:
    std::unique_ptr<KeyChordFinder> finder_;
    std::string origin_;
    std::unique_ptr<Source> source_;
    unsigned int changes_ = 0;
    bool sourceLost_ = false;
};

// The keymap a Wayland compositor hands out with wl_keyboard.keymap: `fd` (taken
// and closed) holds `size` bytes of keymap text in `format`. nullptr when the
// format is not XKB text or the text does not compile.
XkbKeymapPtr KeymapFromCompositor(xkb_context* context, std::uint32_t format, int fd,
                                  std::uint32_t size);

// The keys for `character` in the keymap the finder indexes (see Chords).
std::vector<KeyChord> ChordsForCharacter(const KeyChordFinder& finder, char32_t character,
                                         const KeyboardLocks& locks);

} // namespace platform
