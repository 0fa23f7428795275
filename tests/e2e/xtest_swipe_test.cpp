// A swipe typed by the program into an X application through the xtest sink.
#include <cstdlib>

#include "e2e/program_fixture.h"
#include "platform/x_test_display.h"

namespace e2e {
namespace {

TEST_F(ProgramTest, ASwipeReachesAnXApplication) {
    std::string reason;
    const x_test::XvfbServer* server = x_test::SharedXvfb(reason);
    if (server == nullptr) {
        GTEST_SKIP() << reason;
    }
    ASSERT_TRUE(x_test::SetServerLayout(server->Name(), "de"));
    x_test::TextWindow window;
    ASSERT_TRUE(window.Open(server->Name(), reason)) << reason;
    setenv("DISPLAY", server->Name().c_str(), 1);

    WriteHive(SettingsHive(1, 1, "ID@\\\\~"));
    StartSimulator("msr");
    keys_ = "xtest";
    StartProgram();
    sim_.Write("%B4111111111111111^DOE/J^2512?;4111111111111111=2512?\n");
    // The prefix holds characters that need AltGr on a German keyboard.
    std::u32string expected = U"ID@\\~4111111111111111=2512\r";
    EXPECT_EQ(window.Take(expected.size(), 5s), expected);
    program_.Signal(SIGTERM);
    EXPECT_EQ(program_.Wait(5s), 0);
    unsetenv("DISPLAY");
}

} // namespace
} // namespace e2e
