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

} // namespace
