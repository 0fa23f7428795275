// A swipe typed by the program into an X application through the xtest sink.
#include <cstdlib>

#include "e2e/program_fixture.h"
#include "support/x_test_display.h"

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
    // A control byte no key gives is left out, and said without the card's data.
    sim_.Write(";41111\x01"
               "22222222222=2512?\n");
    expected = U"ID@\\~4111122222222222=2512\r";
    EXPECT_EQ(window.Take(expected.size(), 5s), expected);
    EXPECT_NE(program_.Errors().find("xtest: no key gives a control character"), std::string::npos);
    for (const char* card : {"41111", "2222", "\x01", "U+0001"}) {
        EXPECT_EQ(program_.Errors().find(card), std::string::npos) << card;
    }
    program_.Signal(SIGTERM);
    EXPECT_EQ(program_.Wait(5s), 0);
    unsetenv("DISPLAY");
}

} // namespace
} // namespace e2e
