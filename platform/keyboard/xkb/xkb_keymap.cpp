#include "platform/keyboard/xkb/xkb_keymap.h"

#include <algorithm>
#include <array>
#include <bit>

#include <xkbcommon/xkbcommon-keysyms.h>

namespace platform {
namespace {

// X clients address keycodes with one byte.
constexpr xkb_keycode_t HighestCoreKeycode = 255;

// Keys that only hold modifiers useful for typing. Their level-one symbol names
// them, whatever physical key carries them on a layout.
bool IsTypingModifier(xkb_keysym_t keysym) {
    return keysym == XKB_KEY_Shift_L || keysym == XKB_KEY_Shift_R ||
           keysym == XKB_KEY_ISO_Level3_Shift || keysym == XKB_KEY_ISO_Level5_Shift;
}

// Real keys come first (left Shift, right Alt), so that a uinput keyboard
// presses keys a user has; the keymaps' virtual modifier keys come last.
int ModifierKeyRank(const char* name) {
    std::string_view keyName = name == nullptr ? "" : name;
    if (keyName == "LFSH" || keyName == "RALT") {
        return 0;
    }
    if (keyName == "RTSH") {
        return 1;
    }
    return 2;
}

// The keys of the typing block, by their XKB names: the rows AE, AD, AC, AB
// and the keys around them, which every keyboard has.
int PositionRank(const char* name) {
    std::string_view keyName = name == nullptr ? "" : name;
    bool row = keyName.size() == 4 && keyName[0] == 'A' &&
               std::string_view("EDCB").find(keyName[1]) != std::string_view::npos;
    // The key beside left Shift (LSGT) is missing on ANSI keyboards, so it is
    // used only for what no other key gives ("<" ">" "|" on "de").
    if (row || keyName == "TLDE" || keyName == "BKSL" || keyName == "SPCE" || keyName == "RTRN" ||
        keyName == "TAB" || keyName == "BKSP" || keyName == "ESC") {
        return 0;
    }
    // "I" and a number names the extra evdev codes with no key of their own.
    bool extra = keyName.size() > 1 && keyName[0] == 'I' &&
                 keyName.find_first_not_of("0123456789", 1) == std::string_view::npos;
    return extra ? 2 : 1;
}

// Dead keys whose pairing with space composes the accent's own character in
// the standard compose tables.
struct DeadKeyPair {
    xkb_keysym_t character;
    xkb_keysym_t deadKey;
};
constexpr std::array<DeadKeyPair, 5> DeadKeyPairs = {{
    {XKB_KEY_asciicircum, XKB_KEY_dead_circumflex},
    {XKB_KEY_grave, XKB_KEY_dead_grave},
    {XKB_KEY_asciitilde, XKB_KEY_dead_tilde},
    {XKB_KEY_apostrophe, XKB_KEY_dead_acute},
    {XKB_KEY_quotedbl, XKB_KEY_dead_diaeresis},
}};

} // namespace

XkbContextPtr MakeXkbContext() {
    return XkbContextPtr(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
}

XkbKeymapPtr CompileLayoutKeymap(xkb_context* context, const std::string& layout,
                                 std::string& error) {
    std::string name = layout;
    std::string variant;
    std::size_t open = layout.find('(');
    if (open != std::string::npos && layout.back() == ')') {
        name = layout.substr(0, open);
        variant = layout.substr(open + 1, layout.size() - open - 2);
    }
    if (context == nullptr || name.empty()) {
        error = "keyboard layout \"" + layout + "\" cannot be compiled";
        return nullptr;
    }
    xkb_rule_names names{};
    names.layout = name.c_str();
    names.variant = variant.empty() ? nullptr : variant.c_str();
    XkbKeymapPtr keymap(xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        error = "keyboard layout \"" + layout + "\" is not known to libxkbcommon";
    }
    return keymap;
}

KeyChordFinder::KeyChordFinder(xkb_keymap* keymap)
    : keymap_(xkb_keymap_ref(keymap)), scratch_(xkb_state_new(keymap)) {
    IndexSymbols();
    IndexModifierKeys();
}

void KeyChordFinder::IndexSymbols() {
    xkb_keycode_t last = std::min(xkb_keymap_max_keycode(keymap_.get()), HighestCoreKeycode);
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap_.get()); key <= last; ++key) {
        xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap_.get(), key);
        for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
            xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap_.get(), key, layout);
            for (xkb_level_index_t level = 0; level < levels; ++level) {
                const xkb_keysym_t* symbols = nullptr;
                int count =
                    xkb_keymap_key_get_syms_by_level(keymap_.get(), key, layout, level, &symbols);
                if (count == 1) {
                    int rank = PositionRank(xkb_keymap_key_get_name(keymap_.get(), key));
                    positions_[*symbols].push_back({key, layout, level, rank});
                }
            }
        }
    }
    // Typing keys first, and lower levels first among them.
    for (auto& [keysym, positions] : positions_) {
        std::stable_sort(positions.begin(), positions.end(),
                         [](const Position& a, const Position& b) {
                             return a.rank != b.rank ? a.rank < b.rank : a.level < b.level;
                         });
    }
}

void KeyChordFinder::IndexModifierKeys() {
    xkb_layout_index_t layouts = xkb_keymap_num_layouts(keymap_.get());
    modifierKeys_.assign(layouts, {});
    xkb_keycode_t last = std::min(xkb_keymap_max_keycode(keymap_.get()), HighestCoreKeycode);
    for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
        // at(): a layout past the table stops the program rather than reading past it.
        std::vector<ModifierKey>& found = modifierKeys_.at(layout);
        for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap_.get()); key <= last; ++key) {
            const xkb_keysym_t* symbols = nullptr;
            int count = xkb_keymap_key_get_syms_by_level(keymap_.get(), key, layout, 0, &symbols);
            if (count != 1 || !IsTypingModifier(*symbols)) {
                continue;
            }
            // What the key really holds comes from its action, not its name.
            XkbStatePtr state(xkb_state_new(keymap_.get()));
            xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, layout);
            xkb_state_update_key(state.get(), key, XKB_KEY_DOWN);
            xkb_mod_mask_t held = xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_DEPRESSED);
            if (held == 0 ||
                xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE) != layout) {
                continue;
            }
            ModifierKey candidate{key, held,
                                  ModifierKeyRank(xkb_keymap_key_get_name(keymap_.get(), key))};
            auto same = std::find_if(found.begin(), found.end(), [&](const ModifierKey& known) {
                return known.modifiers == held;
            });
            if (same == found.end()) {
                found.push_back(candidate);
            } else if (candidate.rank < same->rank) {
                *same = candidate;
            }
        }
    }
}

bool KeyChordFinder::Gives(xkb_keycode_t key, xkb_mod_mask_t held, const KeyboardLocks& locks,
                           xkb_keysym_t keysym) const {
    xkb_state* state = scratch_.get();
    xkb_state_update_mask(state, held, 0, locks.lockedModifiers, 0, 0, locks.layout);
    return xkb_state_key_get_one_sym(state, key) == keysym;
}

std::optional<KeyChord> KeyChordFinder::Find(xkb_keysym_t keysym,
                                             const KeyboardLocks& locks) const {
    auto where = positions_.find(keysym);
    if (where == positions_.end() || locks.layout >= modifierKeys_.size()) {
        return std::nullopt;
    }
    const std::vector<ModifierKey>& modifierKeys = modifierKeys_.at(locks.layout);
    // Every combination of the layout's modifier keys (there are two or three),
    // fewest keys first; the keymap itself judges what each combination gives.
    std::size_t keys = std::min<std::size_t>(modifierKeys.size(), 8);
    const std::vector<Position>& positions = where->second;
    for (auto group = positions.begin(); group != positions.end();) {
        auto groupEnd = std::find_if(group, positions.end(), [&](const Position& position) {
            return position.rank != group->rank;
        });
        for (std::size_t keyCount = 0; keyCount <= keys; ++keyCount) {
            for (auto position = group; position != groupEnd; ++position) {
                if (std::optional<KeyChord> chord = TryChords(*position, keyCount, keysym, locks)) {
                    return chord;
                }
            }
        }
        group = groupEnd;
    }
    return std::nullopt;
}

std::optional<KeyChord> KeyChordFinder::TryChords(const Position& position, std::size_t keyCount,
                                                  xkb_keysym_t keysym,
                                                  const KeyboardLocks& locks) const {
    const std::vector<ModifierKey>& modifierKeys = modifierKeys_.at(locks.layout);
    std::size_t combinations = std::size_t{1} << std::min<std::size_t>(modifierKeys.size(), 8);
    for (std::size_t subset = 0; subset < combinations; ++subset) {
        if (static_cast<std::size_t>(std::popcount(subset)) != keyCount) {
            continue;
        }
        KeyChord chord{position.key, {}};
        xkb_mod_mask_t held = 0;
        for (std::size_t i = 0; i < modifierKeys.size() && i < 8; ++i) {
            if ((subset >> i) & 1U) {
                chord.modifiers.push_back(modifierKeys[i].key);
                held |= modifierKeys[i].modifiers;
            }
        }
        if (Gives(position.key, held, locks, keysym)) {
            return chord;
        }
    }
    return std::nullopt;
}

std::optional<KeyChord> KeyChordFinder::FindKey(xkb_keysym_t keysym,
                                                xkb_layout_index_t layout) const {
    auto where = positions_.find(keysym);
    if (where == positions_.end()) {
        return std::nullopt;
    }
    for (const Position& position : where->second) {
        if (position.layout == layout) {
            return KeyChord{position.key, {}};
        }
    }
    return std::nullopt;
}

std::vector<KeyChord> KeyChordFinder::FindDeadKeySequence(xkb_keysym_t keysym,
                                                          const KeyboardLocks& locks) const {
    for (const DeadKeyPair& pair : DeadKeyPairs) {
        if (pair.character != keysym) {
            continue;
        }
        std::optional<KeyChord> deadKey = Find(pair.deadKey, locks);
        std::optional<KeyChord> space = Find(XKB_KEY_space, locks);
        if (deadKey && space) {
            return {*deadKey, *space};
        }
    }
    return {};
}

std::vector<xkb_keycode_t> KeyChordFinder::UnusedKeycodes() const {
    std::vector<xkb_keycode_t> unused;
    xkb_keycode_t last = std::min(xkb_keymap_max_keycode(keymap_.get()), HighestCoreKeycode);
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap_.get()); key <= last; ++key) {
        bool hasSymbol = false;
        xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap_.get(), key);
        for (xkb_layout_index_t layout = 0; layout < layouts && !hasSymbol; ++layout) {
            xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap_.get(), key, layout);
            for (xkb_level_index_t level = 0; level < levels && !hasSymbol; ++level) {
                const xkb_keysym_t* symbols = nullptr;
                hasSymbol = xkb_keymap_key_get_syms_by_level(keymap_.get(), key, layout, level,
                                                             &symbols) > 0;
            }
        }
        if (!hasSymbol) {
            unused.push_back(key);
        }
    }
    return unused;
}

xkb_mod_mask_t KeyChordFinder::FromCoreModifiers(unsigned int coreMask) const {
    static constexpr const char* CoreNames[] = {"Shift", "Lock", "Control", "Mod1",
                                                "Mod2",  "Mod3", "Mod4",    "Mod5"};
    xkb_mod_mask_t mask = 0;
    for (unsigned int bit = 0; bit < 8; ++bit) {
        if ((coreMask >> bit) & 1U) {
            xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap_.get(), CoreNames[bit]);
            if (index != XKB_MOD_INVALID && index < 32) {
                mask |= xkb_mod_mask_t{1} << index;
            }
        }
    }
    return mask;
}

} // namespace platform
