// Symbols that the X server's layout lacks are typed by binding them to a
// keycode the layout leaves empty. A binding must outlive the key press: the
// application decodes the press with the mapping it holds when it reads the
// event, so rebinding at once could turn the press into another character.
// Bindings are therefore kept and reused: a keycode is rebound only when a new
// symbol needs it (least recently used first, and never younger than a grace
// period), and every binding still in place is restored when the owner goes.
#pragma once

#include <chrono>
#include <vector>

#include <xkbcommon/xkbcommon.h>

#include "platform/keyboard/xkb/xkb_keymap.h"

typedef struct _XDisplay Display;

namespace platform {

class SpareKeycodes {
  public:
    explicit SpareKeycodes(Display* display) : display_(display) {}
    ~SpareKeycodes();
    SpareKeycodes(const SpareKeycodes&) = delete;
    SpareKeycodes& operator=(const SpareKeycodes&) = delete;

    // Binds `keysym` to a keycode: an empty one of `finder`'s keymap, else the
    // least recently used binding (waiting out its grace period if needed).
    // Returns the keycode, or 0 when the keymap has no keycode to spare. The
    // caller must re-read the keymap before looking the keysym up again.
    xkb_keycode_t Bind(xkb_keysym_t keysym, const KeyChordFinder& finder);

    // Notes that the key was pressed now, if it is one of the bindings.
    void Touch(xkb_keycode_t key);

    // After the keymap changed: forgets bindings that the new keymap no longer
    // holds (a new layout replaced them, and restoring would damage it).
    void Revalidate(const KeyChordFinder& finder);

    // Drops every binding without touching the server (the connection is gone).
    void Forget() { bindings_.clear(); }

    std::size_t BindingCount() const { return bindings_.size(); }

  private:
    struct Binding {
        xkb_keycode_t key;
        xkb_keysym_t keysym;
        std::chrono::steady_clock::time_point lastUsed;
    };

    void SetKeysym(xkb_keycode_t key, xkb_keysym_t keysym);

    Display* display_;
    std::vector<Binding> bindings_;
};

} // namespace platform
