// What a working day does to the running program: the reader of its output goes
// away, its terminal hangs up, its event log fills a disk, its display ends, its
// reader is unplugged and plugged back. It goes on, or ends in order.
#include <sys/stat.h>

#include "e2e/program_fixture.h"
#include "platform/ipc/root_instance.h"
#include "support/x_test_display.h"

namespace e2e {
namespace {

// The reader's own polling (a status query every 325 ms) costs about three times
// as much CPU under AddressSanitizer.
#ifdef __SANITIZE_ADDRESS__
constexpr int kSanitizerSlowdown = 3;
#else
constexpr int kSanitizerSlowdown = 1;
#endif

const std::string kSwipe = "%B4111111111111111^DOE/J^2512?;4111111111111111=2512?\n";
const std::string kTyped = "4111111111111111=2512\r";

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class ResilienceTest : public ProgramTest {
  protected:
    // The simulator behind a link, as a /dev/serial/by-id name stands for an adapter.
    void StartLinkedSimulator() {
        ASSERT_NO_FATAL_FAILURE(StartSimulator("msr", {"--link", (dir_ / "com1").string()}));
        device_ = (dir_ / "com1").string();
    }
    std::size_t Logged(const std::string& part) { return Count(ReadFile(log_), part); }
    // The simulator ends and takes its link with it, as an unplugged adapter's
    // device node goes (a link left behind could name another program's tty later).
    void Unplug() {
        sim_.Signal(SIGTERM);
        ASSERT_TRUE(sim_.Wait(5s).has_value());
    }
};

TEST_F(ResilienceTest, ClosedOutputPipesNeitherEndNorStopTheProgram) {
    WriteHive(SettingsHive(1, 1, ""));
    ASSERT_NO_FATAL_FAILURE(StartLinkedSimulator());
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    sim_.Write(kSwipe);
    ASSERT_TRUE(WaitUntil([&] { return program_.Output() == kTyped; })) << program_.Output();
    program_.CloseOutputs();
    for (int swipe = 0; swipe < 2; ++swipe) {
        sim_.Write(kSwipe);
        EXPECT_TRUE(WaitUntil([&] { return Logged("\"char\":13") == 2u + swipe; }));
    }
    // A debug line to the closed standard error.
    ASSERT_NO_FATAL_FAILURE(Unplug());
    EXPECT_TRUE(WaitUntil([&] { return Logged("is gone; waiting for it to come back") == 1; }));
    EXPECT_EQ(Logged("text sink: the output cannot be written (Broken pipe)"), 1u);
    EXPECT_EQ(Logged("standard error cannot be written (Broken pipe)"), 1u);
    program_.Signal(SIGTERM);
    EXPECT_EQ(program_.Wait(5s), 0);
    EXPECT_EQ(LogLines("tray").back(), "\"event\":\"tray\",\"op\":\"delete\"}");
}

TEST_F(ResilienceTest, AHangUpSavesWhatWasTypedAndLeavesNoLockFile) {
    log_ = "/dev/full";
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_EQ(Send({"--control", "1014", "WM_SETTEXT", "0", "ID:"}).status, 0);
    program_.Signal(SIGHUP);
    EXPECT_EQ(program_.Wait(5s), 0);
    EXPECT_NE(Hive().find("\"Prefix\"=\"ID:\""), std::string::npos) << Hive();
    EXPECT_EQ(Count(program_.Errors(), "cannot write the event log /dev/full: No space left"), 1u)
        << program_.Errors();
    for (const std::string& left :
         {platform::remote::InstanceSocketPath(root_.string()), (root_ / "instance/lock").string(),
          (root_ / "registry" / "HKEY_LOCAL_MACHINE.reg.lock").string()}) {
        EXPECT_FALSE(std::filesystem::exists(left)) << left;
    }
}

TEST_F(ResilienceTest, ALostDisplayEndsTheDesktopProgramInOrder) {
    x_test::XvfbServer server;
    std::string reason;
    if (!server.Start(reason)) {
        GTEST_SKIP() << reason;
    }
    setenv("DISPLAY", server.Name().c_str(), 1);
    ui_ = "gtk";
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    unsetenv("DISPLAY");
    ASSERT_EQ(Send({"--control", "1014", "WM_SETTEXT", "0", "ID:"}).status, 0);
    server.Stop();
    EXPECT_EQ(program_.Wait(5s), 0) << program_.Errors();
    EXPECT_EQ(Count(program_.Errors(), "the connection to the X display " + server.Name()), 1u)
        << program_.Errors();
    EXPECT_NE(Hive().find("\"Prefix\"=\"ID:\""), std::string::npos) << Hive();
    EXPECT_EQ(LogLines("tray").back(), "\"event\":\"tray\",\"op\":\"delete\"}");
}

TEST_F(ResilienceTest, AnUnpluggedReaderComesBackByItselfWithoutSpinning) {
    WriteHive(SettingsHive(1, 1, ""));
    ASSERT_NO_FATAL_FAILURE(StartLinkedSimulator());
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_NO_FATAL_FAILURE(Unplug());
    std::string gone = "COM1: " + device_ + " is gone; waiting for it to come back";
    ASSERT_TRUE(WaitUntil([&] { return program_.Errors().find(gone) != std::string::npos; }))
        << program_.Errors();
    auto before = CpuTime(program_.Pid());
    std::this_thread::sleep_for(2s);
    auto used = CpuTime(program_.Pid()) - before;
    EXPECT_LT(used, 2ms * kSanitizerSlowdown) << "more than 0.1 % of a core while it was gone";

    ASSERT_NO_FATAL_FAILURE(StartLinkedSimulator());
    EXPECT_TRUE(WaitUntil([&] {
        return program_.Errors().find("COM1: " + device_ + " is back") != std::string::npos;
    })) << program_.Errors();
    sim_.Write(kSwipe);
    EXPECT_TRUE(WaitUntil([&] { return program_.Output() == kTyped; })) << program_.Errors();
    // Headless, the person is told once, on standard error.
    EXPECT_EQ(Count(program_.Errors(),
                    "swipetype: The reader at " + device_ + " was disconnected. Plug it in again"),
              1u);
    program_.Signal(SIGTERM);
    EXPECT_EQ(program_.Wait(5s), 0);
}

// Desktop notifications reach the freedesktop notification service: here the one
// of python3-dbusmock on a private session bus, which logs what it received.
TEST_F(ResilienceTest, APortProblemIsShownOnceAsADesktopNotificationPerCause) {
    std::string reason;
    const x_test::XvfbServer* server = x_test::SharedXvfb(reason);
    if (server == nullptr) {
        GTEST_SKIP() << reason;
    }
    Process bus;
    Process service;
    ASSERT_TRUE(bus.Start({"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address"}));
    ASSERT_TRUE(WaitUntil([&] { return bus.Output().find('\n') != std::string::npos; }));
    setenv("DBUS_SESSION_BUS_ADDRESS", bus.Output().substr(0, bus.Output().find('\n')).c_str(), 1);
    std::string notified = (dir_ / "notified.log").string();
    ASSERT_TRUE(service.Start({"/usr/bin/python3", "-m", "dbusmock", "--template",
                               "notification_daemon", "-l", notified}));
    // The service has its name on the bus when it opens its log.
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(notified); }, 10s))
        << service.Errors();
    setenv("DISPLAY", server->Name().c_str(), 1);
    // Root opens any file whatever its mode: the program runs without that power.
    wrapper_ = {"/usr/bin/setpriv", "--bounding-set", "-dac_override,-dac_read_search", "--"};
    ui_ = "gtk";
    std::string link = (dir_ / "com1").string();
    device_ = link; // nothing there yet
    WriteHive(SettingsHive(1, 1, ""));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    unsetenv("DISPLAY");
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    EXPECT_TRUE(WaitUntil([&] {
        return Count(ReadFile(notified), "Cannot open " + link + ": no such device.") == 1;
    })) << ReadFile(notified);

    // A reader there that may not be opened, at each of two restarts of reading.
    ASSERT_NO_FATAL_FAILURE(StartSimulator("msr", {"--link", link}));
    ASSERT_EQ(chmod(device_.c_str(), 0), 0);
    std::string forbidden = "Cannot open " + link +
                            ": permission denied. Add your user to the dialout group and log in "
                            "again.";
    for (int restart = 0; restart < 2; ++restart) {
        ASSERT_EQ(Send({"--control", "1004", "BM_CLICK"}).status, 0);
        ASSERT_EQ(Send({"--control", "1003", "BM_CLICK"}).status, 0);
        EXPECT_TRUE(WaitUntil([&] { return Count(ReadFile(notified), forbidden) == 1; }))
            << ReadFile(notified);
    }
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(Count(ReadFile(notified), " Notify "), 2u) << "once per cause";
    program_.Signal(SIGTERM);
    EXPECT_EQ(program_.Wait(5s), 0);
}

} // namespace
} // namespace e2e
