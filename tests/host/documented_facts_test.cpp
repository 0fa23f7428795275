// The README's settings table restates the setting catalogue for its readers:
// this fails the suite, naming what to write, when it no longer lists the
// catalogue's rows in their order. (The README's key sinks are checked by the
// build, in packaging/CMakeLists.txt.)
#include <gtest/gtest.h>

#include <fstream>

#include "platform/core/unicode.h"
#include "settings/setting_catalog.h"

namespace {

TEST(DocumentedFactsTest, ReadmeSettingsTableIsTheCatalogue) {
    std::ifstream readme(SWIPETYPE_SOURCE_DIR "/README.md");
    std::string rows;
    bool inside = false;
    for (std::string line; std::getline(readme, line);) {
        inside = line == "## Settings" || (inside && line.rfind("## ", 0) != 0);
        if (inside && line.rfind("| `", 0) == 0) {
            rows += line.substr(2, line.find('`', 3) - 1) + " ";
        }
    }
    std::string expected;
    for (const SettingEntry& setting : SettingCatalog) {
        expected += "`" + platform::Utf16ToUtf8(setting.name) + "` ";
    }
    EXPECT_EQ(rows, expected) << "README.md's settings table: one row per setting, in the order "
                                 "of settings/setting_catalog.h";
}

} // namespace
