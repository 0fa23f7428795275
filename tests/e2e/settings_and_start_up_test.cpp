// What a start does with what it is given and what it finds: remembered ports,
// the startup file, second starts, listed ports.
#include "e2e/program_fixture.h"
#include "res/resource_ids.h"

namespace e2e {
namespace {

const std::string kSwipe = "%B4111111111111111^DOE/J^2512?;4111111111111111=2512?\n";
const std::string kTyped = "ID:4111111111111111=2512\r";

std::string StartupFileOf(const std::filesystem::path& root) {
    return ReadFile(root / "fs/Application/Startup/Swipetype.RUN");
}

TEST_F(ProgramTest, APortGivenOnceIsUsedByLaterStartsAndByTheLauncher) {
    WriteHive(SettingsHive(1, 1, "ID:"));
    StartSimulator("msr");
    StartProgram();
    Terminate();
    EXPECT_NE(ReadFile(root_ / "serial-ports").find("COM1:=" + device_ + "\n"), std::string::npos);

    givePort_ = false;
    StartProgram();
    sim_.Write(kSwipe);
    EXPECT_TRUE(WaitUntil([&] { return program_.Output() == kTyped; })) << program_.Output();
    Terminate();

    // The boot launcher starts it from the startup file with only the root.
    std::filesystem::create_directories(root_ / "fs/Application/Startup");
    std::ofstream(root_ / "fs/Application/Startup/Swipetype.RUN") << SWIPETYPE_PATH "\rMIN";
    for (auto [name, value] : {std::pair{"SWIPETYPE_KEYS", "text"}, {"SWIPETYPE_UI", "headless"}}) {
        setenv(name, value, 1);
    }
    Process launcher;
    ASSERT_TRUE(launcher.Start({SWIPETYPE_LAUNCH_PATH, "--root", root_.string()}));
    std::optional<int> launched = launcher.Wait(5s);
    unsetenv("SWIPETYPE_KEYS");
    unsetenv("SWIPETYPE_UI");
    ASSERT_EQ(launched, 0) << launcher.Errors();
    std::string said = launcher.Output();
    pid_t pid = std::atoi(said.substr(said.rfind("(pid ") + 5).c_str());
    ASSERT_GT(pid, 0) << said;
    EXPECT_TRUE(WaitUntil([&] {
        return Send({"--control", std::to_string(IDC_READING_ENABLE), "BM_GETCHECK"}).out == "1\n";
    }));
    sim_.Write(kSwipe);
    EXPECT_TRUE(WaitUntil([&] { return launcher.Output().find(kTyped) != std::string::npos; }))
        << launcher.Output();
    kill(pid, SIGTERM);
    EXPECT_TRUE(WaitUntil([&] { return kill(pid, 0) != 0; }));

    // COM1:= forgets it.
    ASSERT_TRUE(program_.Start({SWIPETYPE_PATH, "--root", root_.string(), "--port",
                                "COM1:=", "--keys", "none", "--ui", "headless"}));
    EXPECT_TRUE(Says("COM1: is no longer remembered")) << program_.Errors();
    EXPECT_EQ(ReadFile(root_ / "serial-ports").find("COM1:="), std::string::npos);
}

TEST_F(ProgramTest, AutoStartClickedButNeverSavedIsRemovedByDisable) {
    StartProgram();
    ASSERT_EQ(Send({"--control", std::to_string(IDC_AUTOSTART_ENABLE), "BM_CLICK"}).status, 0);
    ASSERT_FALSE(StartupFileOf(root_).empty());
    program_.Signal(SIGKILL);
    ASSERT_EQ(program_.Wait(5s), 128 + SIGKILL);

    StartProgram();
    EXPECT_EQ(Send({"--control", std::to_string(IDC_AUTOSTART_DISABLE), "BM_GETCHECK"}).out, "1\n")
        << "AutoStart loads as off";
    ASSERT_EQ(Send({"--control", std::to_string(IDC_AUTOSTART_DISABLE), "BM_CLICK"}).status, 0);
    EXPECT_FALSE(std::filesystem::exists(root_ / "fs/Application/Startup/Swipetype.RUN"));
}

TEST_F(ProgramTest, TheStartupFileNamesTheInstalledProgramAfterAnUpgrade) {
    std::filesystem::path installed = dir_ / "bin" / "swipetype";
    std::filesystem::create_directories(installed.parent_path());
    std::filesystem::copy_file(SWIPETYPE_PATH, installed);
    ASSERT_TRUE(program_.Start(
        {installed.string(), "--root", root_.string(), "--keys", "none", "--ui", "headless"}));
    ASSERT_TRUE(WaitUntil([&] {
        return Send({"--control", std::to_string(IDC_AUTOSTART_ENABLE), "BM_GETCHECK"}).status == 0;
    }));
    // A package upgrade puts a new file in its place while it runs.
    std::filesystem::copy_file(SWIPETYPE_PATH, dir_ / "bin" / "new");
    std::filesystem::rename(dir_ / "bin" / "new", installed);
    ASSERT_EQ(Send({"--control", std::to_string(IDC_AUTOSTART_ENABLE), "BM_CLICK"}).status, 0);
    EXPECT_EQ(StartupFileOf(root_), installed.string() + "\rMIN");
}

TEST_F(ProgramTest, ASecondStartThroughALinkHandsOverAndSaysWhatItDidNotApply) {
    StartProgram({"MIN"});
    std::filesystem::create_directory_symlink(root_, dir_ / "link");
    Process second;
    ASSERT_TRUE(second.Start({SWIPETYPE_PATH, "--root", (dir_ / "link").string(), "--keys", "none",
                              "--port", "COM2:=/dev/null", "MIN"}));
    EXPECT_EQ(second.Wait(5s), 0);
    EXPECT_NE(second.Errors().find("already runs"), std::string::npos) << second.Errors();
    EXPECT_NE(second.Errors().find("--keys, --port did not apply"), std::string::npos)
        << second.Errors();
    EXPECT_FALSE(MainWindowHidden()) << "the running one was shown";
}

std::string RunToEnd(const std::vector<std::string>& arguments, int& status) {
    SendResult result = test_support::Run(arguments);
    status = result.status;
    return result.out + result.err;
}

TEST_F(ProgramTest, ListedPortsSayWhatTheyAreWhoMayOpenThemAndWhichPortTheyStandFor) {
    StartSimulator("msr");
    std::vector<std::string> list{SWIPETYPE_PATH, "--root",           root_.string(),
                                  "--port",       "COM3:=" + device_, "--list-ports"};
    int status = -1;
    std::string listed = RunToEnd(list, status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(listed.find(device_ + "  kernel " + device_.substr(5) +
                          ", pseudo-terminal, you may open it, COM3:\n"),
              std::string::npos)
        << listed;
    if (std::filesystem::exists("/sys/class/tty/ttyS0/device")) {
        EXPECT_NE(listed.find("kernel ttyS0, driver "), std::string::npos) << listed;
    }
    if (geteuid() != 0) {
        GTEST_SKIP() << "the listing as another user needs root to become nobody";
    }
    list.insert(list.begin(),
                {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    listed = RunToEnd(list, status);
    EXPECT_EQ(status, 0) << listed;
    // No group may read a pseudo-terminal (mode 0620 or 0600): none is named to join.
    std::size_t said = listed.find(", pseudo-terminal, you may not open it: it belongs to root:");
    ASSERT_NE(said, std::string::npos) << listed;
    std::string line = listed.substr(said, listed.find('\n', said) - said);
    EXPECT_NE(line.find(", which lets none of your groups read and write it"), std::string::npos)
        << line;
}

TEST_F(ProgramTest, AUsbSerialDeviceIsRememberedByItsStableName) {
    std::error_code none;
    std::filesystem::directory_iterator byId("/dev/serial/by-id", none);
    if (none || byId == std::filesystem::directory_iterator()) {
        GTEST_SKIP() << "no USB serial device on this machine (/dev/serial/by-id is empty)";
    }
    std::string stable = byId->path().string();
    device_ = std::filesystem::canonical(stable).string();
    StartProgram({"MIN"});
    EXPECT_NE(ReadFile(root_ / "serial-ports").find("COM1:=" + stable + "\n"), std::string::npos);
    EXPECT_NE(program_.Errors().find("COM1: is remembered as " + stable), std::string::npos);
    int status = -1;
    std::string listed =
        RunToEnd({SWIPETYPE_PATH, "--root", root_.string(), "--list-ports"}, status);
    EXPECT_NE(listed.find(stable + "  kernel " + device_.substr(5)), std::string::npos) << listed;
    EXPECT_NE(listed.find("USB "), std::string::npos) << listed;
}

TEST_F(ProgramTest, ASendThatOpensAModalBoxTimesOutAndTheBoxIsReachedByItsTitle) {
    StartProgram();
    auto before = Clock::now();
    SendResult about = Send({"--timeout", "0.5", "WM_COMMAND", "40003"});
    EXPECT_LT(Clock::now() - before, 3s);
    EXPECT_EQ(about.status, 1);
    EXPECT_NE(about.err.find("(pid " + std::to_string(program_.Pid()) +
                             ") took the request but gave no answer within 0.5 s"),
              std::string::npos)
        << about.err;
    EXPECT_EQ(std::count(about.err.begin(), about.err.end(), '\n'), 1) << about.err;
    // Served while the first message still sits in the box's modal loop.
    EXPECT_EQ(
        Send({"--window", "About Swipetype", "--control", std::to_string(IDC_QUIT), "BM_CLICK"})
            .status,
        0);
    EXPECT_TRUE(WaitUntil([&] { return Send({"--window", "About Swipetype", "0"}).status == 1; }));
    EXPECT_EQ(
        Send({"--timeout", "1", "--control", std::to_string(IDC_READING_ENABLE), "BM_GETCHECK"})
            .out,
        "0\n");
}

} // namespace
} // namespace e2e
