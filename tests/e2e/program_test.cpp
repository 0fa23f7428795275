// The program end to end: start-up, single instance, tray taps, the ways it
// ends, and what it saves.
#include "e2e/program_fixture.h"
#include "res/resource_ids.h"

namespace e2e {
namespace {

const std::string kSwipe = "%B4111111111111111^DOE/J^2512?;4111111111111111=2512?";

TEST_F(ProgramTest, StartUpShowsTheDisabledIconThenTheEnabledOneAndTypesASwipe) {
    WriteHive(SettingsHive(1, 1, "ID:"));
    StartSimulator("msr");
    StartProgram();
    std::vector<std::string> tray = LogLines("tray");
    ASSERT_GE(tray.size(), 3u);
    EXPECT_EQ(tray[0], R"("event":"tray","op":"add","icon":103,"tip":"Swipetype"})");
    EXPECT_EQ(tray[1], R"("event":"tray","op":"delete"})");
    EXPECT_EQ(tray[2], R"("event":"tray","op":"add","icon":102,"tip":"Swipetype"})");

    sim_.Write(kSwipe + "\n");
    EXPECT_TRUE(WaitUntil([&] { return program_.Output() == "ID:4111111111111111=2512\r"; }))
        << program_.Output();

    Terminate();
    EXPECT_EQ(LogLines("tray").back(), R"("event":"tray","op":"delete"})");
    EXPECT_NE(Hive().find("\"Prefix\"=\"ID:\""), std::string::npos) << Hive();
}

// A command line other than exactly MIN shows the window and says what it was taken as.
TEST_F(ProgramTest, OtherCommandLinesStartVisibleAndSaySo) {
    using Row = std::pair<std::vector<std::string>, std::string>;
    for (const auto& [commandLine, said] :
         {Row{{"min"}, "'min' is not exactly MIN, so the window is shown at start\n"},
          Row{{"MIN", "x"}, "'MIN x' is not exactly MIN, so the window is shown at start\n"},
          Row{{"MIN "}, " is not exactly MIN, so the window is shown at start\n"},
          Row{{"/dev/ttyUSB0"},
              "'/dev/ttyUSB0' is not exactly MIN, so the window is shown at "
              "start; did you mean --port COM1:=/dev/ttyUSB0?"}}) {
        SCOPED_TRACE(commandLine[0]);
        StartProgram(commandLine);
        EXPECT_FALSE(MainWindowHidden());
        EXPECT_TRUE(Says(said)) << program_.Errors();
        program_.Signal(SIGINT);
        EXPECT_EQ(program_.Wait(5s), 0);
    }
}

TEST_F(ProgramTest, TwoStartsAtOnceLeaveOneInstance) {
    Process second;
    ASSERT_TRUE(program_.Start(ProgramArguments({"MIN"})));
    ASSERT_TRUE(second.Start(ProgramArguments({"MIN"})));
    std::optional<int> first = program_.Wait(3s);
    std::optional<int> other = second.Wait(3s);
    // Exactly one of them handed over and ended with 0; the other runs on.
    EXPECT_NE(first.has_value(), other.has_value()) << program_.Errors() << second.Errors();
    EXPECT_EQ(first.value_or(other.value_or(-1)), 0);
}

// The socket of an instance that crashed is left behind: the next start replaces
// it and runs, and a second start, MIN or not, shows it and ends with 0.
TEST_F(ProgramTest, ASecondStartShowsTheFirstAndEndsWithZeroEvenAfterACrash) {
    StartProgram({"MIN"});
    program_.Signal(SIGKILL);
    ASSERT_EQ(program_.Wait(5s), 128 + SIGKILL);
    StartProgram({"MIN"});
    ASSERT_TRUE(MainWindowHidden());
    for (const std::vector<std::string>& commandLine :
         {std::vector<std::string>{"MIN"}, std::vector<std::string>{}}) {
        Process second;
        ASSERT_TRUE(second.Start(ProgramArguments(commandLine)));
        EXPECT_EQ(second.Wait(5s), 0) << second.Errors();
        EXPECT_FALSE(MainWindowHidden());
        ASSERT_EQ(Send({"WM_SIZE", "1", "0"}).status, 0); // minimise: hides again
        EXPECT_TRUE(MainWindowHidden());
    }
    EXPECT_TRUE(program_.Running());
}

TEST_F(ProgramTest, ExitFromEitherMenuEndsInOrderAndSaves) {
    for (bool fromPopup : {false, true}) {
        SCOPED_TRACE(fromPopup ? "popup" : "menu bar");
        WriteHive(SettingsHive(0, 1, "A"));
        StartProgram({"MIN"});
        ASSERT_EQ(
            Send({"--control", std::to_string(IDC_PREFIX), "WM_SETTEXT", "0", "typed"}).status, 0);
        if (fromPopup) {
            TapTray();
            ASSERT_TRUE(WaitUntil([&] { return Send({"--menu", "40021"}).status == 0; }, 1s));
        } else {
            ASSERT_EQ(Send({"--post", "WM_COMMAND", "40004"}).status, 0);
        }
        EXPECT_EQ(program_.Wait(5s), 0);
        EXPECT_EQ(LogLines("tray").back(), R"("event":"tray","op":"delete"})");
        EXPECT_NE(Hive().find("\"Prefix\"=\"typed\""), std::string::npos) << Hive();
    }
}

TEST_F(ProgramTest, SwitchingToRfidReadsATag) {
    WriteHive(SettingsHive(1, 1, ""));
    StartSimulator("rfid", {"--tag", "04A1B2C3"});
    StartProgram();
    ASSERT_EQ(Send({"--control", std::to_string(IDC_INPUT_RFID), "BM_CLICK"}).status, 0);
    // Each byte is formatted with "%2X": a byte below 0x10 gives a space and a digit.
    EXPECT_TRUE(WaitUntil([&] {
        return program_.Output().find(" 4A1B2C3\r") != std::string::npos;
    })) << program_.Output();
}

TEST_F(ProgramTest, AnUnusableDeviceRootSaysSoAndFails) {
    std::ofstream(dir_ / "a-file") << "not a folder";
    SendResult badRoot = test_support::Run({SWIPETYPE_PATH, "--root", (dir_ / "a-file").string(),
                                            "--keys", "none", "--ui", "headless"});
    EXPECT_EQ(badRoot.status, 1);
    EXPECT_NE(badRoot.err.find("device root"), std::string::npos) << badRoot.err;
}

} // namespace
} // namespace e2e
