// swipetype-config against a device root with and without the program running.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include "e2e/program_fixture.h"
#include "platform/core/unique_fd.h"
#include "res/resource_ids.h"
#include "settings/setting_catalog.h"

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
        EXPECT_NE(Config({"set", "Enable", "maybe"})
                      .err.find("on, off, yes, no, true, false, 1 or 0, not 'maybe'"),
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
    EXPECT_EQ(Send({"--control", std::to_string(IDC_SEND_ENTER), "BM_GETCHECK"}).out, "0\n");
    EXPECT_EQ(Config({"set", "Enable", "off"}).status, 0);
    EXPECT_EQ(Send({"--control", std::to_string(IDC_READING_DISABLE), "BM_GETCHECK"}).out, "1\n");
    EXPECT_EQ(LogLines("tray").back(),
              R"("event":"tray","op":"add","icon":103,"tip":"Swipetype"})");
    EXPECT_EQ(Config({"get", "SendEnter"}).out, "off\n");
    SendResult list = Config({"list"});
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'),
              static_cast<long>(std::size(SettingCatalog)))
        << list.out << list.err;
    EXPECT_NE(list.out.find("Prefix          \"NEW \\\\ \""), std::string::npos) << list.out;
    ExpectRefusals();

    Terminate();
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
    // A value's control characters are echoed as escapes, never raw to the terminal.
    SendResult controls = Config({"set", "Suffix", "\x1b]0;x\x07\xc2\x9b"});
    EXPECT_EQ(controls.out.substr(0, controls.out.find(':')), "Suffix = \"\\x1b]0;x\\x07\\u009b\"")
        << controls.err;

    ASSERT_EQ(Config({"set", "AutoStart", "on"}).status, 0);
    std::string program = std::filesystem::path(SWIPETYPE_CONFIG_PATH).parent_path() / "swipetype";
    EXPECT_EQ(ReadFile(root_ / "fs/Application/Startup/Swipetype.RUN"), program + "\rMIN");
    ASSERT_EQ(Config({"reset"}).status, 0);
    EXPECT_FALSE(std::filesystem::exists(root_ / "fs/Application/Startup/Swipetype.RUN"));
    EXPECT_EQ(Config({"get", "Prefix"}).out, "\n");
    EXPECT_NE(Hive().find("; the till in aisle 2\r\n"), std::string::npos) << Hive();
}

// A till set up once is exported and imported into a running one: the whole
// file is taken as one change, or refused whole.
TEST_F(ConfigTest, ExportFromOneRootImportsIntoARunningOne) {
    std::filesystem::path model = dir_ / "model";
    ASSERT_EQ(Config({"init"}, model).status, 0);
    ASSERT_EQ(Config({"set", "Prefix", "ID:"}, model).status, 0);
    ASSERT_EQ(Config({"set", "Beep", "on"}, model).status, 0);
    SendResult exported = Config({"export"}, model);
    ASSERT_EQ(exported.status, 0) << exported.err;
    std::ofstream(dir_ / "till.reg") << exported.out;

    StartProgram();
    SendResult imported = Config({"import", (dir_ / "till.reg").string()});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(Send({"--control", std::to_string(IDC_PREFIX), "WM_GETTEXT"}).out, "ID:\n");
    EXPECT_EQ(Send({"--control", std::to_string(IDC_BEEP_ENABLE), "BM_GETCHECK"}).out, "1\n");
    EXPECT_NE(Hive().find("\"Beep\"=dword:00000001"), std::string::npos) << "saved at once";

    // Two good values, an unknown name and a bad value.
    std::string bad = exported.out;
    auto replace = [&bad](const std::string& from, const std::string& to) {
        bad.replace(bad.find(from), from.size(), to);
    };
    replace("\"Prefix\"=\"ID:\"", "\"Prefix\"=\"XY\"\n\"Prefx\"=\"1\"");
    replace("\"Beep\"=dword:00000001", "\"Beep\"=dword:00000000");
    replace("\"RFIDInterval\"=dword:0000015e", "\"RFIDInterval\"=\"1e3\"");
    std::ofstream(dir_ / "bad.reg") << bad;
    std::string before = Hive();
    SendResult refused = Config({"import", (dir_ / "bad.reg").string()});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 2) << refused.err;
    EXPECT_EQ(Send({"--control", std::to_string(IDC_PREFIX), "WM_GETTEXT"}).out, "ID:\n")
        << "nothing changed";
    EXPECT_EQ(Send({"--control", std::to_string(IDC_BEEP_ENABLE), "BM_GETCHECK"}).out, "1\n");
    EXPECT_EQ(Hive(), before);
}

// What check says of hand-written values is what the program makes of them.
TEST_F(ConfigTest, CheckOfAHandWrittenHiveSaysWhatTheProgramLoads) {
    WriteHive(
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Zelna\\Swipetype]\n"
        "\"Enable\"=\"on\"\n\"UseMSR\"=\"rfid\"\n\"MSRInterval\"=dword:5\n\"Prefx\"=\"ID:\"\n");
    SendResult check = Config({"check"});
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(std::count(check.out.begin(), check.out.end(), '\n'), 2) << check.out;
    EXPECT_NE(check.out.find("\"MSRInterval\"=dword:00000005 is not what MSRInterval takes "
                             "(milliseconds from 10 to 86400000), so Swipetype uses its default, "
                             "325\n"),
              std::string::npos)
        << check.out;
    EXPECT_NE(check.out.find("\"Prefx\" is no setting (did you mean Prefix?)"), std::string::npos);

    StartSimulator("rfid");
    StartProgram();
    SendResult list = Config({"list", "--json"});
    EXPECT_NE(list.out.find(R"({"Enable":true,"UseMSR":false,)"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find(R"("MSRInterval":325,)"), std::string::npos) << list.out;
}

// A read that fails says why in one line with status 1, and list and get
// create, set aside or change nothing.
TEST_F(ConfigTest, FailedReadsSayWhyAndChangeNothing) {
    std::ofstream(dir_ / "file") << "not a folder";
    // Root opens any file whatever its mode: the tool runs without that power.
    std::vector<std::string> powerless{"/usr/bin/setpriv", "--bounding-set",
                                       "-dac_override,-dac_read_search", "--"};
    WriteHive(SettingsHive(1, 1, ""));
    std::filesystem::permissions(root_ / "registry" / "HKEY_LOCAL_MACHINE.reg",
                                 std::filesystem::perms::none);
    SendResult unreadable = Config({"get", "Enable"}, {}, powerless);
    WriteHive("not a hive\n");
    const SendResult failed[] = {unreadable, Config({"list"}, dir_ / "file"),
                                 Config({"get", "Enable"}), Config({"export"})};
    for (const SendResult& result : failed) {
        EXPECT_EQ(result.status, 1) << result.out << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root_ / "registry"), {}), 1)
        << "the damaged hive is not set aside";
}

} // namespace
} // namespace e2e

namespace e2e {
namespace {

// Another process holds the hive's lock: the program neither waits for it nor
// pretends. `set` answers at once that the value is in use and saved later; the
// save goes through once the lock is let go; an end while it is held comes at
// once and says what it could not save.
TEST_F(ConfigTest, ALockedHiveHoldsNothingUp) {
    WriteHive(SettingsHive(1, 1, ""));
    StartProgram();
    std::string lock = (root_ / "registry" / "HKEY_LOCAL_MACHINE.reg.lock").string();
    // Held as every process that changes the hive holds it: the file at the path,
    // once the program's own save (one lock per value) lets go of it.
    auto hold = [&lock] {
        platform::UniqueFd fd;
        EXPECT_TRUE(WaitUntil([&] {
            fd = platform::UniqueFd(open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
            struct stat locked {
            }, there{};
            return flock(fd.Get(), LOCK_EX | LOCK_NB) == 0 && fstat(fd.Get(), &locked) == 0 &&
                   stat(lock.c_str(), &there) == 0 && locked.st_ino == there.st_ino;
        }));
        return fd;
    };
    platform::UniqueFd held = hold();
    auto start = Clock::now();
    SendResult set = Config({"set", "Suffix", "Z"});
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_EQ(set.status, 1);
    EXPECT_NE(set.err.find("saved once another process lets go"), std::string::npos) << set.err;
    EXPECT_EQ(Send({"--control", std::to_string(IDC_SUFFIX), "WM_GETTEXT"}).out, "Z\n") << "taken";
    unlink(lock.c_str());
    held.Reset();
    EXPECT_TRUE(WaitUntil([&] { return Hive().find("\"Suffix\"=\"Z\"") != std::string::npos; }, 5s))
        << "saved once the lock went";

    held = hold();
    EXPECT_EQ(Config({"set", "Suffix", "Y"}).status, 1);
    start = Clock::now();
    Terminate();
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_NE(program_.Errors().find("could not be saved in"), std::string::npos)
        << program_.Errors();
}

} // namespace
} // namespace e2e
