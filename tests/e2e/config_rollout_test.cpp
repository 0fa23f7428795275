// What an administrator rolling settings out to many tills relies on: a tool
// that never breaks a till (wrong owner, a damaged hive made worse, a root made
// up from a typo), says whether anything changed, and leaves a trace.
#include <sys/stat.h>

#include "e2e/program_fixture.h"
#include "res/resource_ids.h"
#include "support/rename_count.h"
#include "support/scoped_environment.h"

namespace e2e {
namespace {

constexpr uid_t kNobody = 65534;

std::size_t Lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class ConfigRolloutTest : public ProgramTest {
  protected:
    std::vector<std::string> As(uid_t user) {
        return {"/usr/bin/setpriv", "--reuid=" + std::to_string(user),
                "--regid=" + std::to_string(user), "--clear-groups", "--"};
    }
    std::filesystem::path WriteFile(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name) << text;
        return dir_ / name;
    }
};

TEST_F(ConfigRolloutTest, ARootThatDoesNotExistIsNeverMadeUp) {
    std::filesystem::path typo = dir_ / "rooot";
    std::string file = WriteFile("till.reg", SettingsHive(1, 1, "ID:")).string();
    const std::vector<std::string> actions[] = {
        {"list"},  {"get", "Beep"},  {"set", "Beep", "on"},          {"reset"},  {"export"},
        {"check"}, {"import", file}, {"port", "COM1:", "/dev/null"}, {"status"}, {"port", "COM1:"}};
    for (const std::vector<std::string>& action : actions) {
        SendResult result = Config(action, typo);
        EXPECT_EQ(result.status, 1) << action[0] << result.out;
        EXPECT_EQ(Lines(result.err), 1u) << result.err;
        EXPECT_NE(result.err.find(" init "), std::string::npos) << result.err;
    }
    EXPECT_FALSE(std::filesystem::exists(typo));
    SendResult init = Config({"init"}, typo);
    EXPECT_EQ(init.status, 0) << init.err;
    EXPECT_TRUE(std::filesystem::is_directory(typo / "fs/Application/Startup"));
    SendResult check = Config({"check"}, typo);
    EXPECT_EQ(check.status, 1) << "no hive, so nothing is good";
    EXPECT_NE(check.err.find("does not exist"), std::string::npos) << check.err;
    SendResult notFolder = Config({"list"}, file);
    EXPECT_EQ(notFolder.err, "swipetype-config: the device root " + file + " is not a folder\n");
}

TEST_F(ConfigRolloutTest, ADamagedHiveIsChangedByNoToolAndKeptByTheProgram) {
    std::string good = SettingsHive(1, 1, "ID:");
    std::string damaged = good + "garbage\n";
    std::string badLine = "line " + std::to_string(Lines(good) + 1);
    WriteHive(damaged);
    std::string file = WriteFile("till.reg", SettingsHive(1, 1, "NEW:")).string();
    const std::vector<std::string> changes[] = {
        {"set", "Beep", "on"}, {"import", file}, {"port", "COM1:", "/dev/null"}};
    for (const std::vector<std::string>& change : changes) {
        SendResult result = Config(change);
        EXPECT_EQ(result.status, 1) << change[0];
        EXPECT_EQ(Lines(result.err), 1u) << result.err;
        EXPECT_NE(result.err.find(badLine), std::string::npos) << result.err;
    }
    EXPECT_EQ(Hive(), damaged);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root_ / "registry"), {}), 1);
    EXPECT_FALSE(std::filesystem::exists(root_ / "serial-ports"));

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_EQ(Send({"--control", std::to_string(IDC_PREFIX), "WM_GETTEXT"}).out, "ID:\n")
        << program_.Errors();
    EXPECT_TRUE(Says("ignored " + badLine)) << program_.Errors();
    std::string said = program_.Errors();
    std::size_t copy = said.find(".corrupt-");
    ASSERT_NE(copy, std::string::npos) << said;
    std::string original = said.substr(0, said.find('\n', copy));
    original = original.substr(original.rfind(' ') + 1);
    EXPECT_EQ(ReadFile(original), damaged);
    Terminate();
    // Every value that could be read, and no default over them; settings the
    // hive never held follow at their defaults.
    EXPECT_TRUE(Hive().starts_with(good)) << Hive();
}

TEST_F(ConfigRolloutTest, ARolloutSaysWhatWouldChangeAndWhatDid) {
    ASSERT_EQ(Config({"init"}).status, 0);
    std::string defaults = WriteFile("defaults.reg", SettingsHive(1, 1, "SITE:")).string();
    test_support::ScopedEnvironment system("SWIPETYPE_DEFAULTS", defaults.c_str());
    EXPECT_EQ(Config({"get", "Prefix"}).out, "SITE:\n") << "absent, so the machine's default";

    std::string file = WriteFile("till.reg", SettingsHive(0, 1, "SITE:")).string();
    SendResult dry = Config({"import", "--dry-run", file});
    EXPECT_EQ(dry.out, "{\"name\":\"Enable\",\"old\":true,\"new\":false}\n") << dry.err;
    EXPECT_FALSE(std::filesystem::exists(root_ / "registry"));
    EXPECT_NE(Config({"import", file}).out.find("1 settings"), std::string::npos);
    EXPECT_NE(Config({"import", file}).out.find(": unchanged\n"), std::string::npos);
    EXPECT_EQ(Config({"set", "Enable", "off"}).out, "Enable = off: unchanged\n");

    std::string bad = WriteFile("bad.reg", SettingsHive(1, 1, "") + "\"Prefx\"=\"1\"\n").string();
    EXPECT_EQ(Config({"check", file}).status, 0);
    SendResult checked = Config({"check", bad});
    EXPECT_EQ(checked.status, 1);
    EXPECT_NE(checked.out.find("Prefx"), std::string::npos) << checked.out;
}

// Options after the action are taken as before it, or refused saying why.
TEST_F(ConfigRolloutTest, OptionsFollowTheActionToo) {
    ASSERT_EQ(Config({"init"}).status, 0);
    auto run = [&](const std::vector<std::string>& arguments) {
        std::vector<std::string> command{SWIPETYPE_CONFIG_PATH};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return test_support::Run(command);
    };
    EXPECT_EQ(run({"status", "--root", root_.string()}).status, 3);
    EXPECT_EQ(run({"set", "Prefix", "-x", "--root=" + root_.string()}).status, 0);
    EXPECT_EQ(Config({"get", "Prefix"}).out, "-x\n");
    SendResult refused = run({"get", "Prefix", "--json", "--root", root_.string()});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "swipetype-config: --json goes with list and status only\n");
}

TEST_F(ConfigRolloutTest, ReadOnlyRootFailsInOneLine) {
    ASSERT_EQ(Config({"init"}).status, 0);
    ASSERT_EQ(Config({"set", "Prefix", "A"}).status, 0);
    std::filesystem::permissions(root_ / "registry", std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::owner_exec);
    std::vector<std::string> powerless{"/usr/bin/setpriv", "--bounding-set",
                                       "-dac_override,-dac_read_search", "--"};
    SendResult result = Config({"set", "Prefix", "B"}, {}, powerless);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(Lines(result.err), 1u) << result.err;
}

// Root changing a till user's settings leaves every file that user's.
TEST_F(ConfigRolloutTest, RootWritingIntoAUsersRootKeepsItTheUsers) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to write as an administrator does";
    }
    ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
    std::filesystem::create_directory(root_);
    ASSERT_EQ(chown(root_.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(Config({"init"}).status, 0); // root fills in the user's root
    ASSERT_EQ(Config({"set", "Prefix", "A"}, {}, As(kNobody)).status, 0);
    std::filesystem::path hive = root_ / "registry/HKEY_LOCAL_MACHINE.reg";
    ASSERT_EQ(chmod(hive.c_str(), 0640), 0);
    ASSERT_EQ(Config({"set", "Prefix", "B"}).status, 0);
    ASSERT_EQ(Config({"set", "AutoStart", "on"}).status, 0);
    ASSERT_EQ(Config({"port", "COM1:", "/dev/null"}).status, 0);
    const std::pair<std::filesystem::path, mode_t> files[] = {
        {hive, 0640},
        {root_ / "serial-ports", 0600},
        {root_ / "fs/Application/Startup/Swipetype.RUN", 0644}, // as every device file
        {root_ / "fs/Application/Startup", 0755}};
    for (const auto& [path, mode] : files) {
        struct stat info {};
        ASSERT_EQ(stat(path.c_str(), &info), 0) << path;
        EXPECT_EQ(info.st_uid, kNobody) << path;
        EXPECT_EQ(info.st_gid, kNobody) << path;
        EXPECT_EQ(info.st_mode & 07777, mode) << path;
    }
    // A user who may write in the folder but cannot give the hive back refuses.
    ASSERT_EQ(chmod((root_ / "registry").c_str(), 0777), 0);
    ASSERT_EQ(chmod(hive.c_str(), 0644), 0);
    std::string before = Hive();
    SendResult refused = Config({"set", "Prefix", "C"}, {}, As(kNobody - 1));
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(Lines(refused.err), 1u) << refused.err;
    EXPECT_NE(refused.err.find("nobody"), std::string::npos) << refused.err;
    EXPECT_EQ(Hive(), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root_ / "registry"), {}), 1);
}

// Each write wears a till's flash: a `set` is one write of the hive, with
// every setting in it, and a start or an exit that changes nothing writes none.
TEST_F(ConfigRolloutTest, OneSetIsOneWriteAndNothingChangedIsNone) {
    WriteHive(SettingsHive(0, 1, "A"));
    test_support::RenameCount renames((root_ / "registry").string(), "HKEY_LOCAL_MACHINE.reg");
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_EQ(renames.Take(), 0) << "the start wrote";
    ASSERT_EQ(Config({"set", "Prefix", "B"}).status, 0);
    EXPECT_EQ(renames.Take(), 1) << "the set";
    Terminate();
    EXPECT_EQ(renames.Take(), 0) << "the exit wrote what the set had saved";
    EXPECT_NE(Hive().find("\"Prefix\"=\"B\""), std::string::npos);
}

// Every change is a `setting` line, whoever made it.
TEST_F(ConfigRolloutTest, EveryChangeLeavesATraceSayingWhereItCameFrom) {
    WriteHive(SettingsHive(0, 1, "A"));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_EQ(Config({"set", "Prefix", "B"}).status, 0);
    ASSERT_EQ(Config({"import", WriteFile("c.reg", SettingsHive(0, 1, "C")).string()}).status, 0);
    std::string edited = SettingsHive(0, 1, "D");
    std::ofstream(root_ / "registry/edit.reg") << edited;
    std::filesystem::rename(root_ / "registry/edit.reg", root_ / "registry/HKEY_LOCAL_MACHINE.reg");
    ASSERT_TRUE(WaitUntil([&] { return LogLines("setting").size() == 3; })) << program_.Errors();
    ASSERT_EQ(Send({"--control", std::to_string(IDC_PREFIX), "WM_SETTEXT", "0", "E"}).status, 0);
    Terminate();
    std::vector<std::string> expected;
    const std::pair<const char*, const char*> changes[] = {
        {"A", "tool"}, {"B", "import"}, {"C", "hand edit"}, {"D", "dialog"}};
    for (const auto& [old, source] : changes) {
        char next[2] = {static_cast<char>(old[0] + 1), '\0'};
        expected.push_back(std::string(R"("event":"setting","name":"Prefix","old":")") + old +
                           R"(","new":")" + next + R"(","source":")" + source + "\"}");
    }
    EXPECT_EQ(LogLines("setting"), expected);
}

} // namespace
} // namespace e2e
