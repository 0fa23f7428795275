#include <gtest/gtest.h>

#include "app/settings.h"
#include "host/setting_catalog.h"

namespace {

using namespace setting_catalog;

// The catalog a person configures with names the program's own fields, in its
// order, with its defaults.
TEST(SettingCatalogTest, NamesOrderAndDefaultsAreTheProgramsOwn) {
    SettingsRecord d = DefaultSettings();
    const std::pair<const char*, std::string> expected[] = {
        {"Enable", FormatFlag(d.Enable)},
        {"UseMSR", FormatFlag(d.UseMSR)},
        {"Beep", FormatFlag(d.Beep)},
        {"Prefix", ""},
        {"Suffix", ""},
        {"SendTab", FormatFlag(d.SendTab)},
        {"SendEnter", FormatFlag(d.SendEnter)},
        {"UseTrack1", FormatFlag(d.UseTrack1)},
        {"UseTrack2", FormatFlag(d.UseTrack2)},
        {"UseTrack3", FormatFlag(d.UseTrack3)},
        {"TrackSeparator", ""},
        {"AutoStart", FormatFlag(d.AutoStart)},
        {"MSRInterval", FormatNumber(d.MSRInterval)},
        {"RFIDInterval", FormatNumber(d.RFIDInterval)},
    };
    ASSERT_EQ(AllSettings().size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_STREQ(AllSettings()[i].name, expected[i].first);
        EXPECT_EQ(AllSettings()[i].defaultValue, expected[i].second) << expected[i].first;
    }
}

TEST(SettingCatalogTest, ValuesTakeTheirCanonicalForm) {
    const std::tuple<const char*, std::string, std::optional<std::string>> cases[] = {
        {"usemsr", "RFID", "off"},
        {"UseMSR", "msr", "on"},
        {"Beep", "YES", "on"},
        {"Beep", "rfid", std::nullopt},
        {"MSRInterval", "86400000", "86400000"},
        {"MSRInterval", "86400001", std::nullopt},
        {"RFIDInterval", "010", "10"},
        {"Suffix", "\xE2\x82\xAC and more", "\xE2\x82\xAC and more"},
        {"Suffix", "\xC3\x28", std::nullopt},
    };
    for (const auto& [name, value, expected] : cases) {
        std::string error;
        EXPECT_EQ(ParseValue(*FindSetting(name), value, error), expected) << name << " " << value;
        EXPECT_EQ(error.empty(), expected.has_value()) << error;
    }
    std::string euros;
    for (int i = 0; i < 1023; ++i) {
        euros += "\xE2\x82\xAC"; // 1023 characters of three bytes each fit
    }
    std::string error;
    EXPECT_EQ(ParseValue(*FindSetting("Prefix"), euros, error), euros);
    EXPECT_FALSE(ParseValue(*FindSetting("Prefix"), euros + "x", error));
}

} // namespace
