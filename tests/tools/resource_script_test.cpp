// The resource compiler's script reader, on scripts it must refuse.
#include <gtest/gtest.h>

#include <string>

#include "script_parser.h"

namespace {

// A quoted text that is not UTF-8 is refused on its line, wherever it stands (a
// control's class name was once read without looking).
TEST(ResourceScriptTest, RefusesTextThatIsNotUtf8WhereverItStands) {
    for (std::string script : {"string 1 \"\xFF\"", "menu 1 item 2 \"\xC3\" end",
                               "dialog 1 control 1 \"\xDD\" \"x\" 0 0 0 0 0 end"}) {
        rc::Script parsed;
        std::string error;
        EXPECT_FALSE(rc::ParseScript(script, parsed, error)) << script;
        EXPECT_EQ(error, "line 1: string is not valid UTF-8") << script;
    }
}

// Ids are written by name, with the values of the header the code includes; a
// name the header lacks is refused, and so is a header that names one twice.
TEST(ResourceScriptTest, TakesIdsByTheirNamesInTheHeader) {
    rc::IdNames names;
    std::string error;
    ASSERT_TRUE(
        rc::ReadIdNames("constexpr int IDS_A = 7; // a\nconst int IDS_B = 8;\n", names, error));
    EXPECT_EQ(names, (rc::IdNames{{"IDS_A", 7}}));
    rc::Script parsed;
    ASSERT_TRUE(rc::ParseScript("string IDS_A \"x\"", parsed, error, names)) << error;
    EXPECT_EQ(parsed.strings.at(0).id, 7);
    EXPECT_FALSE(rc::ParseScript("string IDS_B \"x\"", parsed, error, names));
    EXPECT_EQ(error, "line 1: unknown constant 'IDS_B'");
    error.clear();
    EXPECT_FALSE(rc::ReadIdNames("constexpr int IDS_A = 9;\n", names, error));
    EXPECT_EQ(error, "line 1: IDS_A is named twice");
}

} // namespace
