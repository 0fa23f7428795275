// The characters a keyboard layout types without dead keys, as libxkbcommon
// compiles it: each key's first two levels (plain and Shift) of its first
// layout, printable characters only, each once, in key order.
#pragma once

#include <string>

#include "platform/core/unicode.h"
#include "platform/keyboard/xkb/session_keymap.h"
#include "platform/keyboard/xkb/xkb_keymap.h"

namespace test_support {

// Empty when the layout does not compile.
inline std::u32string LayoutCharacters(const std::string& layout) {
    platform::XkbContextPtr context = platform::MakeXkbContext();
    std::string error;
    platform::XkbKeymapPtr keymap =
        context ? platform::CompileLayoutKeymap(context.get(), layout, error) : nullptr;
    std::u32string characters;
    if (!keymap) {
        return characters;
    }
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap.get());
         key <= xkb_keymap_max_keycode(keymap.get()); ++key) {
        for (xkb_level_index_t level = 0; level < 2; ++level) {
            const xkb_keysym_t* symbols = nullptr;
            int count = xkb_keymap_key_get_syms_by_level(keymap.get(), key, 0, level, &symbols);
            char32_t character = count == 1 ? xkb_keysym_to_utf32(symbols[0]) : 0;
            if (character > 0x20 && character != 0x7F &&
                characters.find(character) == std::u32string::npos) {
                characters.push_back(character);
            }
        }
    }
    return characters;
}

// `count` characters of the layout, its characters repeated as often as
// needed, as UTF-8.
inline std::string LayoutText(const std::string& layout, std::size_t count) {
    std::u32string characters = LayoutCharacters(layout);
    std::string text;
    for (std::size_t i = 0; !characters.empty() && i < count; ++i) {
        platform::AppendUtf8(text, characters[i % characters.size()]);
    }
    return text;
}

// `count` of the layout's characters that its keymap can type (LayoutCharacters
// also holds those of extra keys that no chord reaches), repeated as needed, as
// UTF-8.
inline std::string TypableLayoutText(const std::string& layout, std::size_t count) {
    platform::XkbContextPtr context = platform::MakeXkbContext();
    std::string error;
    platform::XkbKeymapPtr keymap =
        context ? platform::CompileLayoutKeymap(context.get(), layout, error) : nullptr;
    std::u32string typable;
    if (keymap) {
        platform::KeyChordFinder finder(keymap.get());
        for (char32_t character : LayoutCharacters(layout)) {
            if (!platform::ChordsForCharacter(finder, character, {}).empty()) {
                typable.push_back(character);
            }
        }
    }
    std::string text;
    for (std::size_t i = 0; !typable.empty() && i < count; ++i) {
        platform::AppendUtf8(text, typable[i % typable.size()]);
    }
    return text;
}

} // namespace test_support
