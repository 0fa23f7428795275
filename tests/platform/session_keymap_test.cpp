// The session's keymap: where it is taken from when no compositor or X server
// answers, and what it says about characters it can and cannot type.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/keyboard/xkb/session_keymap.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace {

using platform::SessionKeymap;

// The name libxkbcommon gives the first layout of these rule names.
std::string LayoutNameOf(const char* layout, const char* variant) {
    platform::XkbContextPtr context = platform::MakeXkbContext();
    xkb_rule_names names{};
    names.layout = layout;
    names.variant = variant;
    platform::XkbKeymapPtr keymap(
        xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    return keymap ? xkb_keymap_layout_get_name(keymap.get(), 0) : "";
}

struct ConsoleCase {
    const char* file;   // the configuration's text; nullptr: no file
    const char* layout; // what it names, nullptr when it names nothing usable
    const char* variant;
};

TEST(SessionKeymapTest, ConsoleConfigurationGivesTheLayoutWhenNoDisplayAnswers) {
    const ConsoleCase cases[] = {
        {"XKBMODEL=\"pc105\"\nXKBLAYOUT=\"de\"\nXKBVARIANT=\"\"\nXKBOPTIONS=\"\"\n", "de", nullptr},
        {"# comment\nXKBLAYOUT=fr\nXKBVARIANT='bepo'\n", "fr", "bepo"},
        {"XKBMODEL=pc105\n", nullptr, nullptr},
        {nullptr, nullptr, nullptr},
    };
    test_support::TempDir folder;
    test_support::ScopedEnvironment wayland("WAYLAND_DISPLAY", nullptr);
    test_support::ScopedEnvironment x("DISPLAY", nullptr);
    for (const ConsoleCase& c : cases) {
        platform::SessionKeymapSettings settings;
        settings.consoleFile = folder.Path() + "/keyboard";
        std::remove(settings.consoleFile.c_str());
        if (c.file != nullptr) {
            std::ofstream(settings.consoleFile) << c.file;
        }
        std::string error;
        auto keymap = SessionKeymap::Find(settings, error);
        ASSERT_NE(keymap, nullptr) << error;
        if (c.layout != nullptr) {
            EXPECT_EQ(keymap->LayoutName(), LayoutNameOf(c.layout, c.variant)) << c.file;
            EXPECT_EQ(keymap->Origin(), settings.consoleFile);
        } else {
            EXPECT_EQ(keymap->LayoutName(), LayoutNameOf("us", nullptr));
            EXPECT_NE(keymap->Origin().find(settings.consoleFile), std::string::npos)
                << "the last resort says why the console's file was passed over: "
                << keymap->Origin();
        }
        // The person's word beats the console's.
        settings.layoutOverride = "de(nodeadkeys)";
        keymap = SessionKeymap::Find(settings, error);
        ASSERT_NE(keymap, nullptr) << error;
        EXPECT_EQ(keymap->LayoutName(), LayoutNameOf("de", "nodeadkeys"));
        EXPECT_EQ(keymap->Origin(), "--layout");
    }
}

struct TypableCase {
    const char* layout;
    char32_t character;
    std::size_t chords; // 0: cannot be typed
};

TEST(SessionKeymapTest, SaysWhetherAndWithHowManyKeysACharacterIsTyped) {
    const TypableCase cases[] = {
        {"de", U'=', 1},      {"de", U'\u00E4', 1}, {"de", U'^', 2}, // dead key, then space
        {"us", U'\u00E4', 0}, {"us", U'\u20AC', 0}, {"us", U'=', 1},
        {"us", U'\x01', 0}, // a control character only a Control chord gives
    };
    for (const TypableCase& c : cases) {
        std::string error;
        auto keymap = SessionKeymap::FromLayout(c.layout, "--layout", error);
        ASSERT_NE(keymap, nullptr) << error;
        std::vector<platform::KeyChord> chords = keymap->Chords(c.character, {});
        EXPECT_EQ(chords.size(), c.chords) << c.layout << " U+" << std::hex << +c.character;
        EXPECT_EQ(keymap->CanType(c.character, {}), c.chords != 0);
    }
}

} // namespace
