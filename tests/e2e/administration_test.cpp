// What an administrator does to a till from a shell, with whatever environment
// sudo, cron or ssh give: reach the running program through its device root,
// ask its status, edit its hive by hand, keep and rotate its event log.
#include <sys/stat.h>

#include "e2e/program_fixture.h"
#include "platform/ipc/root_instance.h"
#include "res/resource_ids.h"
#include "support/scoped_environment.h"

namespace e2e {
namespace {

const std::string kSwipe = "%B4111111111111111^DOE/J^2512?;4111111111111111=2512?\n";
const std::string kBadSwipe = "%B4111111111111111^DOE/J^2512?;E?\n";

class AdministrationTest : public ProgramTest {
  protected:
    std::string Prefix() {
        return Send({"--control", std::to_string(IDC_PREFIX), "WM_GETTEXT"}).out;
    }
};

TEST_F(AdministrationTest, TheProgramIsFoundThroughItsRootWhateverTheEnvironmentSays) {
    // A root deeper than a socket address can name.
    root_ = dir_ / std::string(60, 'd') / std::string(60, 'r');
    {
        test_support::ScopedEnvironment runtime("XDG_RUNTIME_DIR", dir_.c_str());
        ASSERT_NO_FATAL_FAILURE(StartProgram({"MIN"}));
    }
    test_support::ScopedEnvironment noRuntime("XDG_RUNTIME_DIR", nullptr);
    test_support::ScopedEnvironment otherHome("HOME", "/nonexistent");
    SendResult set = Config({"set", "Prefix", "NEW"});
    EXPECT_EQ(set.out, "Prefix = \"NEW\": taken by the running Swipetype and saved\n") << set.err;
    EXPECT_EQ(Prefix(), "NEW\n");
    Process second;
    ASSERT_TRUE(second.Start(ProgramArguments({})));
    EXPECT_EQ(second.Wait(5s), 0) << second.Errors();
    EXPECT_FALSE(MainWindowHidden()) << "the running one was shown";
}

TEST_F(AdministrationTest, AProgramOfAnotherUserIsNeverWorkedAround) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to run the program as another user";
    }
    std::filesystem::create_directories(root_);
    log_ = root_ / "events.jsonl";
    ASSERT_EQ(chown(root_.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
    wrapper_ = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    ASSERT_TRUE(program_.Start(ProgramArguments({"MIN"})));
    ASSERT_TRUE(WaitUntil([&] {
        return std::filesystem::exists(platform::remote::InstanceSocketPath(root_.string()));
    })) << program_.Errors();
    wrapper_.clear();
    SendResult set = Config({"set", "Prefix", "X"});
    EXPECT_EQ(set.status, 1);
    EXPECT_NE(set.err.find("as nobody (uid 65534)"), std::string::npos) << set.err;
    EXPECT_EQ(Hive().find("\"X\""), std::string::npos) << "written under the running program";
    // Root reads its status, and nothing else goes through that connection.
    SendResult status = Config({"status", "--json"});
    EXPECT_EQ(status.status, 4) << status.err; // no reader given
    EXPECT_NE(status.out.find("\"pid\":" + std::to_string(program_.Pid())), std::string::npos)
        << status.out;
    Process second;
    ASSERT_TRUE(second.Start(ProgramArguments({})));
    EXPECT_EQ(second.Wait(5s), 1) << second.Errors();
}

TEST_F(AdministrationTest, StatusSaysWhetherItRunsAndReadsAndCountsEveryVerdict) {
    ASSERT_EQ(Config({"init"}).status, 0);
    SendResult none = Config({"status", "--json"});
    EXPECT_EQ(none.status, 3);
    EXPECT_EQ(none.out.rfind("{\"running\":false,\"pid\":null,", 0), 0u) << none.out;

    WriteHive(SettingsHive(1, 1, ""));
    ASSERT_NO_FATAL_FAILURE(StartSimulator("msr"));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    sim_.Write(kBadSwipe); // with Beep off, as the hive has it
    sim_.Write(kSwipe);
    ASSERT_TRUE(WaitUntil([&] { return !program_.Output().empty(); })) << program_.Errors();
    SendResult open = Config({"status", "--json"});
    EXPECT_EQ(open.status, 0);
    std::string expected = "{\"running\":true,\"pid\":" + std::to_string(program_.Pid()) +
                           ",\"version\":\"" + SWIPETYPE_VERSION + "\",\"started\":\"2";
    EXPECT_EQ(open.out.substr(0, expected.size()), expected) << open.out;
    expected = ",\"port\":\"COM1:\",\"device\":\"" + device_ +
               "\",\"reader\":\"open\",\"reader_answering\":null,\"sink\":\"text\","
               "\"keys\":{\"sink\":\"text\",\"state\":\"typing\",\"since\":null},"
               "\"good_reads\":1,\"bad_reads\":1,\"dropped_reads\":0,\"last_read\":\"2";
    EXPECT_NE(open.out.find(expected), std::string::npos) << open.out;
    EXPECT_EQ(
        LogLines("read"),
        (std::vector<std::string>{
            R"("event":"read","reader":"msr","good":false,"tracks":{"1":"read","2":"error","3":"absent"}})",
            R"("event":"read","reader":"msr","good":true,"tracks":{"1":"read","2":"read","3":"absent"}})"}));

    sim_.Signal(SIGTERM); // the reader unplugged
    EXPECT_TRUE(WaitUntil([&] { return Config({"status"}).status == 4; }));
    EXPECT_NE(Config({"status"}).out.find("reader:        waiting\n"), std::string::npos);
}

TEST_F(AdministrationTest, AHiveReplacedByRenameIsTakenAtOnceAndNotUndoneAtExit) {
    WriteHive(SettingsHive(0, 1, "ID:"));
    ASSERT_NO_FATAL_FAILURE(StartSimulator("msr"));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    std::ofstream(root_ / "registry/standard.reg") << SettingsHive(1, 1, "NEW:");
    auto replaced = Clock::now();
    std::filesystem::rename(root_ / "registry/standard.reg",
                            root_ / "registry/HKEY_LOCAL_MACHINE.reg");
    ASSERT_TRUE(WaitUntil([&] { return Prefix() == "NEW:\n"; })) << program_.Errors();
    auto taken = Clock::now() - replaced;
    RecordProperty("taken_ms", static_cast<int>(taken / 1ms));
    EXPECT_LT(taken, 2s);
    sim_.Write(kSwipe); // reading was switched on by the edit
    EXPECT_TRUE(WaitUntil([&] { return program_.Output() == "NEW:4111111111111111=2512\r"; }))
        << program_.Output();

    ASSERT_EQ(Config({"set", "Suffix", "S"}).status, 0); // its own save is no edit
    Terminate();
    EXPECT_NE(Hive().find("\"Prefix\"=\"NEW:\""), std::string::npos) << Hive();
    EXPECT_NE(Hive().find("\"Enable\"=dword:00000001"), std::string::npos) << Hive();
    std::vector<std::string> said = LogLines("debug");
    EXPECT_EQ(std::count_if(said.begin(), said.end(),
                            [](const std::string& line) {
                                return line.find("taken from the hive") != std::string::npos;
                            }),
              2)
        << "Enable and Prefix, and nothing of the program's own saves";
}

TEST_F(AdministrationTest, AnEventLogOthersMayReadIsRefusedAndSigusr1ReopensIt) {
    std::ofstream(log_) << "kept\n";
    ASSERT_EQ(chmod(log_.c_str(), 0644), 0);
    Process refused;
    ASSERT_TRUE(refused.Start(ProgramArguments({})));
    EXPECT_EQ(refused.Wait(5s), 1);
    EXPECT_EQ(refused.Errors(), "swipetype: the event log " + log_.string() +
                                    " has mode 0644, and it holds card data: make it readable by "
                                    "its owner only (chmod 600 " +
                                    log_.string() + ")\n");

    ASSERT_EQ(chmod(log_.c_str(), 0600), 0);
    WriteHive(SettingsHive(1, 1, ""));
    ASSERT_NO_FATAL_FAILURE(StartSimulator("msr"));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    std::filesystem::rename(log_, dir_ / "events.1");
    program_.Signal(SIGUSR1);
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(log_); }));
    sim_.Write(kSwipe);
    EXPECT_TRUE(WaitUntil([&] { return LogLines("read").size() == 1; }))
        << "the new file takes what follows";
    std::string rotated = ReadFile(dir_ / "events.1");
    EXPECT_EQ(rotated.rfind("kept\n", 0), 0u);
    EXPECT_EQ(rotated.find("\"read\""), std::string::npos);
}

} // namespace
} // namespace e2e
