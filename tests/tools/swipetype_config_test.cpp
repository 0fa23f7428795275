// swipetype-config's command line: each action takes its own words, no fewer and
// no more, on a device root where no Swipetype runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

struct CommandLine {
    std::vector<std::string> words;
    int status;          // 2: refused as a bad command line
    std::string named{}; // in the refusal: the word that is wrong
};

TEST(SwipetypeConfigTest, EachActionTakesItsOwnWordsOnly) {
    test_support::TempDir root;
    const CommandLine cases[] = {
        {{"list"}, 0},
        {{"list", "--json"}, 0},
        {{"get", "Enable"}, 0},
        {{"port", "COM2:"}, 0},
        {{"port", "COM2:", ""}, 0},
        {{"status", "--json"}, 3},
        {{"list", "extra"}, 2},
        {{"get"}, 2},
        {{"get", "Enable", "extra"}, 2},
        {{"set", "Enable"}, 2},
        {{"port", "COM2:", "", "extra"}, 2},
        {{"check", "--json"}, 2},
        {{"frobnicate", "Enable"}, 2, "'frobnicate'"},
    };
    for (const CommandLine& line : cases) {
        std::vector<std::string> arguments{"--root", root.Path()};
        arguments.insert(arguments.end(), line.words.begin(), line.words.end());
        test_support::ChildResult result =
            test_support::RunServingLoop(SWIPETYPE_CONFIG_PATH, arguments);
        EXPECT_EQ(result.status, line.status) << testing::PrintToString(line.words) << result.err;
        EXPECT_NE(result.err.find(line.named), std::string::npos) << result.err;
    }
}

} // namespace
