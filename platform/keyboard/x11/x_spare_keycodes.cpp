#include "platform/keyboard/x11/x_spare_keycodes.h"

#include <algorithm>
#include <thread>

#include <X11/Xlib.h>

namespace platform {
namespace {

// Long enough for an application that is busy for a moment to have read the
// press; reached only when every spare keycode is in use.
constexpr std::chrono::milliseconds BindingGracePeriod{200};

bool KeyHolds(xkb_keymap* keymap, xkb_keycode_t key, xkb_keysym_t keysym) {
    xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, key);
    for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
        xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, key, layout);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* symbols = nullptr;
            int count = xkb_keymap_key_get_syms_by_level(keymap, key, layout, level, &symbols);
            if (count == 1 && symbols[0] == keysym) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

SpareKeycodes::~SpareKeycodes() {
    for (const Binding& binding : bindings_) {
        SetKeysym(binding.key, NoSymbol);
    }
    if (!bindings_.empty()) {
        XSync(display_, False);
    }
}

xkb_keycode_t SpareKeycodes::Bind(xkb_keysym_t keysym, const KeyChordFinder& finder) {
    auto now = std::chrono::steady_clock::now();
    std::vector<xkb_keycode_t> unused = finder.UnusedKeycodes();
    if (!unused.empty()) {
        // From the top: low keycodes are the ones real keyboards send.
        xkb_keycode_t key = unused.back();
        SetKeysym(key, keysym);
        bindings_.push_back({key, keysym, now});
        return key;
    }
    if (bindings_.empty()) {
        return 0;
    }
    auto oldest = std::min_element(
        bindings_.begin(), bindings_.end(),
        [](const Binding& a, const Binding& b) { return a.lastUsed < b.lastUsed; });
    if (now < oldest->lastUsed + BindingGracePeriod) {
        // Make sure the earlier press has left before waiting for it to be read.
        XSync(display_, False);
        std::this_thread::sleep_until(oldest->lastUsed + BindingGracePeriod);
    }
    oldest->keysym = keysym;
    oldest->lastUsed = std::chrono::steady_clock::now();
    SetKeysym(oldest->key, keysym);
    return oldest->key;
}

void SpareKeycodes::Touch(xkb_keycode_t key) {
    for (Binding& binding : bindings_) {
        if (binding.key == key) {
            binding.lastUsed = std::chrono::steady_clock::now();
        }
    }
}

void SpareKeycodes::Revalidate(const KeyChordFinder& finder) {
    std::erase_if(bindings_, [&](const Binding& binding) {
        return !KeyHolds(finder.Keymap(), binding.key, binding.keysym);
    });
}

void SpareKeycodes::SetKeysym(xkb_keycode_t key, xkb_keysym_t keysym) {
    KeySym symbol = keysym;
    XChangeKeyboardMapping(display_, static_cast<int>(key), 1, &symbol, 1);
}

} // namespace platform
