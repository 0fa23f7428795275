// A swipe typed by the program into an X application through the xtest sink, and
// the sink waiting for an X server that ended and started again.
#include <cstdlib>
#include <memory>
#include <unistd.h>

#include "e2e/program_fixture.h"
#include "support/scoped_environment.h"
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
    test_support::ScopedEnvironment display("DISPLAY", server->Name().c_str());

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
    Terminate();
}

// A logout or a display manager restart: the server ends and another starts on
// the same display. Reads meanwhile are dropped and counted, never typed later.
TEST_F(ProgramTest, XTestSinkWaitsForTheXServerAndTypesOnceItIsBack) {
    x_test::XvfbServer server;
    std::string reason;
    auto window = std::make_unique<x_test::TextWindow>();
    // A display far above the free ones that other tests' servers take, so that
    // none of them takes it while it is down.
    std::string display = ":" + std::to_string(300 + getpid() % 600);
    if (!server.Start(reason, "640x480x24", display) || !window->Open(server.Name(), reason)) {
        GTEST_SKIP() << reason;
    }
    test_support::ScopedEnvironment onDisplay("DISPLAY", server.Name().c_str());
    WriteHive(SettingsHive(1, 1, ""));
    StartSimulator("msr");
    keys_ = "xtest";
    StartProgram();
    const std::string swipe = ";4111=2512?\n";
    sim_.Write(swipe);
    EXPECT_EQ(window->Take(10, 5s), U"4111=2512\r");

    window.reset(); // its connection would end the test process with the server
    server.Stop();
    ASSERT_TRUE(Says("is gone")) << program_.Errors();
    std::size_t keyLines = LogLines("key").size();
    sim_.Write(swipe);
    sim_.Write(";5222=2512?\n");
    ASSERT_TRUE(WaitUntil([&] { return LogLines("key").size() >= keyLines + 40; }, 10s));
    SendResult lost = Config({"status", "--json"});
    EXPECT_EQ(lost.status, 4);
    EXPECT_NE(lost.out.find(R"("keys":{"sink":"xtest","state":"lost","since":"2)"),
              std::string::npos)
        << lost.out;
    EXPECT_NE(lost.out.find(R"("good_reads":1,"bad_reads":0,"dropped_reads":2,)"),
              std::string::npos)
        << lost.out;

    ASSERT_TRUE(server.Restart(reason)) << reason;
    window = std::make_unique<x_test::TextWindow>();
    ASSERT_TRUE(window->Open(server.Name(), reason)) << reason;
    // The keeper's own line, not the notice that says it will type again once it is back.
    ASSERT_TRUE(
        WaitUntil([&] { return program_.Errors().find("is back;") != std::string::npos; }, 10s))
        << program_.Errors();
    sim_.Write(";6333=2512?\n");
    EXPECT_EQ(window->Take(20, 5s), U"6333=2512\r") << "the next read, and none of the dropped";
    EXPECT_EQ(Config({"status"}).status, 0);
    std::string errors = program_.Errors();
    EXPECT_NE(errors.find("keys: the X server " + server.Name() +
                          " is back; 2 reads made while it was gone were dropped"),
              std::string::npos)
        << errors;
    std::string gone = "keys: the X server " + server.Name() + " is gone";
    EXPECT_EQ(errors.find(gone, errors.find(gone) + 1), std::string::npos)
        << "said once: " << errors;
    Terminate();
}

} // namespace
} // namespace e2e
