#include "platform/keyboard/wayland/virtual_keymap.h"

#include <algorithm>
#include <memory>

#include <xkbcommon/xkbcommon-keysyms.h>

#include "platform/keyboard/xkb/xkb_keymap.h"

namespace platform {
namespace {

constexpr xkb_keysym_t TextKeys[] = {XKB_KEY_Return, XKB_KEY_Tab,    XKB_KEY_BackSpace,
                                     XKB_KEY_Escape, XKB_KEY_Delete, XKB_KEY_Linefeed};

struct FreeText {
    void operator()(char* text) const { std::free(text); }
};

// The first-level keysym of each key of a US keyboard, where one key gives it.
std::unordered_map<xkb_keysym_t, xkb_keycode_t> UsKeys() {
    std::unordered_map<xkb_keysym_t, xkb_keycode_t> keys;
    XkbContextPtr context = MakeXkbContext();
    std::string error;
    XkbKeymapPtr keymap = CompileLayoutKeymap(context.get(), "us", error);
    if (!keymap) {
        return keys; // every keysym then takes a free key
    }
    for (xkb_keycode_t key = 9; key <= 255; ++key) {
        const xkb_keysym_t* symbols = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap.get(), key, 0, 0, &symbols) == 1) {
            keys.emplace(*symbols, key);
        }
    }
    return keys;
}

} // namespace

VirtualKeymap::VirtualKeymap() : lastUse_(kLastKey - kFirstKey + 1, 0), usKey_(UsKeys()) {
    for (xkb_keysym_t keysym : TextKeys) {
        Add(keysym);
    }
    for (char32_t character = 0x20; character < 0x7F; ++character) {
        Add(xkb_utf32_to_keysym(character));
    }
}

std::optional<xkb_keycode_t> VirtualKeymap::KeyFor(xkb_keysym_t keysym) {
    auto found = keyOf_.find(keysym);
    if (found == keyOf_.end()) {
        return std::nullopt;
    }
    lastUse_[found->second - kFirstKey] = ++uses_;
    return found->second;
}

xkb_keycode_t VirtualKeymap::Add(xkb_keysym_t keysym) {
    if (std::optional<xkb_keycode_t> key = KeyFor(keysym)) {
        return *key;
    }
    xkb_keycode_t key = FreeKeyFor(keysym);
    if (key == XKB_KEYCODE_INVALID) {
        // Every key is taken: the one used least recently gives way.
        auto oldest = std::min_element(lastUse_.begin(), lastUse_.end());
        key = kFirstKey + static_cast<xkb_keycode_t>(oldest - lastUse_.begin());
        keyOf_.erase(keysymOf_[key]);
    }
    Bind(key, keysym);
    return key;
}

// Its US key if that is free, else the highest free key: the low keys are
// the US keyboard's typing keys, which other keysyms may want later.
xkb_keycode_t VirtualKeymap::FreeKeyFor(xkb_keysym_t keysym) const {
    auto us = usKey_.find(keysym);
    if (us != usKey_.end() && us->second >= kFirstKey && !keysymOf_.contains(us->second)) {
        return us->second;
    }
    for (xkb_keycode_t key = kLastKey; key >= kFirstKey; --key) {
        if (!keysymOf_.contains(key)) {
            return key;
        }
    }
    return XKB_KEYCODE_INVALID;
}

void VirtualKeymap::Bind(xkb_keycode_t key, xkb_keysym_t keysym) {
    keyOf_[keysym] = key;
    keysymOf_[key] = keysym;
    lastUse_[key - kFirstKey] = ++uses_;
}

std::string VirtualKeymap::Text(std::string& error) const {
    std::vector<std::pair<xkb_keycode_t, xkb_keysym_t>> keys(keysymOf_.begin(), keysymOf_.end());
    std::sort(keys.begin(), keys.end());
    std::string keycodes;
    std::string symbols;
    char name[64];
    for (const auto& [key, keysym] : keys) {
        keycodes += "        <K" + std::to_string(key) + "> = " + std::to_string(key) + ";\n";
        xkb_keysym_get_name(keysym, name, sizeof name);
        symbols += "        key <K" + std::to_string(key) + "> { [ " + name + " ] };\n";
    }
    std::string source = "xkb_keymap {\n"
                         "    xkb_keycodes \"swipetype\" {\n"
                         "        minimum = 8;\n"
                         "        maximum = 255;\n" +
                         keycodes +
                         "    };\n"
                         "    xkb_types \"swipetype\" {\n"
                         "        type \"ONE_LEVEL\" {\n"
                         "            modifiers = none;\n"
                         "            level_name[Level1] = \"Any\";\n"
                         "        };\n"
                         "    };\n"
                         "    xkb_compat \"swipetype\" {\n"
                         "    };\n"
                         "    xkb_symbols \"swipetype\" {\n" +
                         symbols +
                         "    };\n"
                         "};\n";
    XkbContextPtr context(xkb_context_new(XKB_CONTEXT_NO_DEFAULT_INCLUDES));
    XkbKeymapPtr keymap(context ? xkb_keymap_new_from_string(context.get(), source.c_str(),
                                                             XKB_KEYMAP_FORMAT_TEXT_V1,
                                                             XKB_KEYMAP_COMPILE_NO_FLAGS)
                                : nullptr);
    std::unique_ptr<char, FreeText> text(
        keymap ? xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr);
    if (text == nullptr) {
        error = "the virtual keyboard's keymap does not compile";
        return "";
    }
    return text.get();
}

} // namespace platform
