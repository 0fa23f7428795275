// swipetype-config against a device root with and without the program running.
#include "e2e/program_fixture.h"

namespace e2e {
namespace {

class ConfigTest : public ProgramTest {
  protected:
    // Bad names and values: one line naming what is allowed, status 2, the
    // hive untouched.
    void ExpectRefusals() {
        std::string before = Hive();
        const std::vector<std::string> bad[] = {
            {"set", "Prefx", "a"},
            {"set", "Enable", "maybe"},
            {"set", "UseMSR", "barcode"},
            {"set", "MSRInterval", "9"},
            {"set", "RFIDInterval", "1e3"},
            {"set", "Suffix", std::string(1024, 's')},
            {"get", "Colour"},
            {"port", "COM0:"},
        };
        for (const std::vector<std::string>& arguments : bad) {
            SendResult result = Config(arguments);
            EXPECT_EQ(result.status, 2) << arguments[1];
            EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        }
        EXPECT_NE(Config({"set", "Enable", "maybe"}).err.find("on, off, 1, 0, yes or no"),
                  std::string::npos);
        EXPECT_EQ(Hive(), before);
    }
};

TEST_F(ConfigTest, WithTheProgramRunningAChangeTakesEffectAtOnceAndOutlivesItsExit) {
    WriteHive(SettingsHive(1, 1, "ID:"));
    StartSimulator("msr");
    StartProgram();
    SendResult set = Config({"set", "prefix", "NEW \\ "});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "Prefix = \"NEW \\\\ \": taken by the running Swipetype and saved\n");
    EXPECT_NE(Hive().find("\"Prefix\"=\"NEW \\\\ \""), std::string::npos) << "saved at once";
    sim_.Write("%B4111111111111111^DOE/J^2512?;4111111111111111=2512?\n");
    EXPECT_TRUE(WaitUntil([&] { return program_.Output() == "NEW \\ 4111111111111111=2512\r"; }))
        << program_.Output();

    EXPECT_EQ(Config({"set", "SendEnter", "no"}).status, 0);
    EXPECT_EQ(Send({"--control", "1017", "BM_GETCHECK"}).out, "0\n");
    EXPECT_EQ(Config({"set", "Enable", "off"}).status, 0);
    EXPECT_EQ(Send({"--control", "1004", "BM_GETCHECK"}).out, "1\n");
    EXPECT_EQ(LogLines("tray").back(),
              R"("event":"tray","op":"add","icon":103,"tip":"Swipetype"})");
    EXPECT_EQ(Config({"get", "SendEnter"}).out, "off\n");
    SendResult list = Config({"list"});
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 14) << list.out << list.err;
    EXPECT_NE(list.out.find("Prefix          \"NEW \\\\ \""), std::string::npos) << list.out;
    ExpectRefusals();

    program_.Signal(SIGTERM);
    ASSERT_EQ(program_.Wait(5s), 0);
    EXPECT_NE(Hive().find("\"Prefix\"=\"NEW \\\\ \""), std::string::npos) << Hive();
    EXPECT_NE(Hive().find("\"Enable\"=dword:00000000"), std::string::npos) << Hive();
}

TEST_F(ConfigTest, WithoutTheProgramOnlyTheChangedValueOfAHandWrittenHiveChanges) {
    const std::string handWritten = "Windows Registry Editor Version 5.00\r\n\r\n"
                                    "; the till in aisle 2\r\n"
                                    "[HKEY_LOCAL_MACHINE\\Software\\Zelna\\Swipetype]\r\n"
                                    "\"Enable\" = dword:1\r\n"
                                    "\"Prefix\"=\"old\"\r\n"
                                    "\"UseMSR\"=\"0\"\r\n"
                                    "[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"
                                    "\"Kept\"=hex:01,02\r\n";
    WriteHive(handWritten);
    EXPECT_EQ(Config({"get", "UseMSR"}).out, "off\n") << "a number written as text";
    SendResult set = Config({"set", "Prefix", "new"});
    ASSERT_EQ(set.status, 0) << set.err;
    std::string expected = handWritten;
    expected.replace(expected.find("old"), 3, "new");
    EXPECT_EQ(Hive(), expected);
    ExpectRefusals();

    ASSERT_EQ(Config({"set", "AutoStart", "on"}).status, 0);
    std::string program = std::filesystem::path(SWIPETYPE_CONFIG_PATH).parent_path() / "swipetype";
    EXPECT_EQ(ReadFile(root_ / "fs/Application/Startup/Swipetype.RUN"), program + "\rMIN");
    ASSERT_EQ(Config({"reset"}).status, 0);
    EXPECT_FALSE(std::filesystem::exists(root_ / "fs/Application/Startup/Swipetype.RUN"));
    EXPECT_EQ(Config({"get", "Prefix"}).out, "\n");
    EXPECT_NE(Hive().find("; the till in aisle 2\r\n"), std::string::npos) << Hive();
}

} // namespace
} // namespace e2e
