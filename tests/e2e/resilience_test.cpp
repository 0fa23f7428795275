// What a working day does to the running program: the reader of its output goes
// away, its terminal hangs up, its event log fills a disk, its display ends, its
// reader is unplugged and plugged back. It goes on, or ends in order.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "e2e/program_fixture.h"
#include "platform/core/unique_fd.h"
#include "platform/ipc/root_instance.h"
#include "res/resource_ids.h"
#include "support/param_name.h"
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
    Terminate();
    EXPECT_EQ(LogLines("tray").back(), "\"event\":\"tray\",\"op\":\"delete\"}");
}

TEST_F(ResilienceTest, AHangUpSavesWhatWasTypedAndLeavesNoLockFile) {
    log_ = "/dev/full";
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_EQ(Send({"--control", std::to_string(IDC_PREFIX), "WM_SETTEXT", "0", "ID:"}).status, 0);
    program_.Signal(SIGHUP);
    // In order, but no stop asked for: a service manager starts it again.
    EXPECT_EQ(program_.Wait(5s), 128 + SIGHUP);
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
    ASSERT_EQ(Send({"--control", std::to_string(IDC_PREFIX), "WM_SETTEXT", "0", "ID:"}).status, 0);
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
    ASSERT_TRUE(Says(gone)) << program_.Errors();
    EXPECT_LT(CpuUsedIn(2s), 2ms * kSanitizerSlowdown)
        << "more than 0.1 % of a core while it was gone";

    ASSERT_NO_FATAL_FAILURE(StartLinkedSimulator());
    EXPECT_TRUE(Says("COM1: " + device_ + " is back")) << program_.Errors();
    sim_.Write(kSwipe);
    EXPECT_TRUE(WaitUntil([&] { return program_.Output() == kTyped; })) << program_.Errors();
    // Headless, the person is told once, on standard error.
    EXPECT_EQ(Count(program_.Errors(),
                    "swipetype: The reader at " + device_ + " was disconnected. Plug it in again"),
              1u);
    Terminate();
}

// A reader that is not there at the start (an adapter that enumerates late) is
// looked for as an unplugged one is; one that may not be opened is said once and
// looked at again, so that fixing its mode needs no restart.
TEST_F(ResilienceTest, AReaderThatComesLateOrMayNotBeOpenedIsReadOnceItCanBe) {
    // Root opens any file whatever its mode: the program runs without that power.
    wrapper_ = {"/usr/bin/setpriv", "--bounding-set", "-dac_override,-dac_read_search", "--"};
    std::string link = (dir_ / "com1").string();
    device_ = link;
    WriteHive(SettingsHive(1, 1, ""));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    const std::string waiting = "COM1: " + link + " cannot be opened; waiting until it can";
    ASSERT_TRUE(WaitUntil([&] { return Count(program_.Errors(), waiting) == 1; }))
        << program_.Errors();
    // Reading switched off ends the looking (its next look at the latest); on
    // again, the port is waited for anew.
    ASSERT_EQ(Send({"--control", std::to_string(IDC_READING_DISABLE), "BM_CLICK"}).status, 0);
    EXPECT_LT(CpuUsedIn(2s), 2ms * kSanitizerSlowdown);
    ASSERT_EQ(Send({"--control", std::to_string(IDC_READING_ENABLE), "BM_CLICK"}).status, 0);
    EXPECT_TRUE(WaitUntil([&] { return Count(program_.Errors(), waiting) == 2; }))
        << program_.Errors();

    ASSERT_NO_FATAL_FAILURE(StartSimulator("msr"));
    ASSERT_EQ(chmod(device_.c_str(), 0), 0);
    ASSERT_EQ(symlink(device_.c_str(), link.c_str()), 0);
    std::string forbidden = "Cannot open " + link + ": permission denied";
    ASSERT_TRUE(WaitUntil([&] { return Count(program_.Errors(), forbidden) == 1; }))
        << program_.Errors();
    // No group of the dialout kind mends a device of mode 0000: none is named.
    EXPECT_NE(program_.Errors().find(" with mode 0000, which lets none of your groups read and "
                                     "write it. Have it given to a group you are in"),
              std::string::npos)
        << program_.Errors();
    std::this_thread::sleep_for(2500ms);
    ASSERT_EQ(chmod(device_.c_str(), 0600), 0);
    ASSERT_TRUE(Says("COM1: " + link + " can be opened now")) << program_.Errors();
    sim_.Write(kSwipe);
    EXPECT_TRUE(WaitUntil([&] { return program_.Output() == kTyped; })) << program_.Errors();
    for (const std::string& once : {forbidden, "Cannot open " + link + ": no such device"}) {
        EXPECT_EQ(Count(program_.Errors(), once), 1u) << once << "\n" << program_.Errors();
    }
    EXPECT_EQ(Count(program_.Errors(), "Error -7 opening"), 2u) << "one a start of reading";
    Terminate();
}

// One reader, one program, root included: a second program given the reader that
// another one reads is told so once, and takes it when that program ends. The
// hold follows the device number, whichever node names it: another node made
// with mknod names the same lock. (A pseudo-terminal cannot be opened through
// such a node, so the lock itself is looked at.)
TEST_F(ResilienceTest, AReaderInUseByAnotherProgramIsTakenWhenThatProgramEnds) {
    WriteHive(SettingsHive(1, 1, ""));
    ASSERT_NO_FATAL_FAILURE(StartSimulator("msr"));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    struct stat node {};
    ASSERT_EQ(stat(device_.c_str(), &node), 0);
    std::string byNumber = "/run/lock/swipetype-tty-" + std::to_string(major(node.st_rdev)) + ":" +
                           std::to_string(minor(node.st_rdev));
    platform::UniqueFd probe(open(byNumber.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(probe.Valid()) << byNumber;
    EXPECT_NE(flock(probe.Get(), LOCK_EX | LOCK_NB), 0) << "the device number is not held";
    std::filesystem::path otherRoot = dir_ / "other-root";
    std::filesystem::create_directories(otherRoot / "registry");
    std::ofstream(otherRoot / "registry" / "HKEY_LOCAL_MACHINE.reg") << SettingsHive(1, 1, "2:");
    Process other;
    ASSERT_TRUE(other.Start({program_path_, "--root", otherRoot.string(), "--keys", "text", "--ui",
                             "headless", "--port", "COM1:=" + device_}));
    std::string busy = "Cannot open " + device_ + ": it is in use by another program";
    ASSERT_TRUE(WaitUntil([&] { return Count(other.Errors(), busy) == 1; })) << other.Errors();
    sim_.Write(kSwipe);
    ASSERT_TRUE(WaitUntil([&] { return program_.Output() == kTyped; })) << program_.Errors();

    Terminate();
    ASSERT_TRUE(WaitUntil([&] {
        return other.Errors().find("COM1: " + device_ + " can be opened now") != std::string::npos;
    })) << other.Errors();
    sim_.Write(kSwipe);
    EXPECT_TRUE(WaitUntil([&] { return other.Output() == "2:" + kTyped; })) << other.Errors();
    EXPECT_EQ(Count(other.Errors(), busy), 1u) << other.Errors();
    EXPECT_EQ(program_.Output(), kTyped) << "each swipe read by one program";
    other.Signal(SIGTERM);
    EXPECT_EQ(other.Wait(5s), 0);
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
    ASSERT_NO_FATAL_FAILURE(StartSimulator("msr"));
    ASSERT_EQ(chmod(device_.c_str(), 0), 0);
    ASSERT_EQ(symlink(device_.c_str(), link.c_str()), 0);
    std::string forbidden = "Cannot open " + link + ": permission denied";
    for (int restart = 0; restart < 2; ++restart) {
        ASSERT_EQ(Send({"--control", std::to_string(IDC_READING_DISABLE), "BM_CLICK"}).status, 0);
        ASSERT_EQ(Send({"--control", std::to_string(IDC_READING_ENABLE), "BM_CLICK"}).status, 0);
        EXPECT_TRUE(WaitUntil([&] { return Count(ReadFile(notified), forbidden) == 1; }))
            << ReadFile(notified);
    }
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(Count(ReadFile(notified), " Notify "), 2u) << "once per cause";
    // The save of the ending fails: that is shown before the program is gone.
    ASSERT_EQ(chmod((root_ / "registry").c_str(), 0500), 0);
    Terminate();
    chmod((root_ / "registry").c_str(), 0700);
    EXPECT_TRUE(WaitUntil([&] {
        return Count(ReadFile(notified), "The settings could not be saved in ") == 1;
    })) << ReadFile(notified);
}

// Each swipe types a prefix of 1,000 characters, so that what the program keeps
// for a standard output nobody reads (16 KiB) fills within a few swipes.
TEST_F(ResilienceTest, AStandardOutputNobodyReadsHoldsUpNothingAndGetsOnlyWholeSwipes) {
    std::string prefix(1000, 'x');
    std::string hive = SettingsHive(1, 1, prefix);
    hive.replace(hive.find("00000145"), 8, "0000000a"); // a poll every 10 ms
    WriteHive(hive);
    ASSERT_NO_FATAL_FAILURE(StartSimulator("msr"));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    program_.ReadOutput(false);
    std::string ownOutput = "/proc/" + std::to_string(program_.Pid()) + "/fd/1";
    platform::UniqueFd pipe(open(ownOutput.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    auto fill = [&] {
        for (std::string block(4096, '#'); write(pipe.Get(), block.data(), block.size()) > 0;) {
        }
    };
    fill();
    std::string swipes;
    for (int swipe = 0; swipe < 25; ++swipe) {
        swipes += kSwipe;
    }
    sim_.Write(swipes);
    ASSERT_TRUE(WaitUntil([&] { return Logged("\"char\":13") == 25; }, 30s));
    EXPECT_EQ(
        Send({"--timeout", "1", "--control", std::to_string(IDC_READING_ENABLE), "BM_GETCHECK"})
            .status,
        0);
    EXPECT_EQ(Count(program_.Errors(), "standard output is not being read"), 1u);
    EXPECT_EQ(Logged("standard output is not being read"), 1u);

    program_.ReadOutput(true);
    ASSERT_TRUE(WaitUntil([&] {
        program_.Output();
        return Logged("standard output is read again") == 1;
    }));
    std::string typed = program_.Output().substr(program_.Output().find_first_not_of('#'));
    std::string whole = prefix + kTyped;
    EXPECT_EQ(typed.size() % whole.size(), 0u);
    EXPECT_LT(typed.size(), 25 * whole.size());
    for (std::size_t at = 0; at < typed.size(); at += whole.size()) {
        ASSERT_EQ(typed.compare(at, whole.size(), whole), 0) << "swipe cut at " << at;
    }

    // Full again, with a swipe waiting: the end takes no longer and saves.
    program_.ReadOutput(false);
    fill();
    ASSERT_EQ(Send({"--control", std::to_string(IDC_SUFFIX), "WM_SETTEXT", "0", "S"}).status, 0);
    sim_.Write(kSwipe);
    ASSERT_TRUE(WaitUntil([&] { return Logged("\"char\":13") == 26; }));
    auto asked = Clock::now();
    Terminate();
    EXPECT_LT(Clock::now() - asked, 1s * kSanitizerSlowdown);
    EXPECT_NE(Hive().find("\"Suffix\"=\"S\""), std::string::npos) << Hive();
}

// Ctrl-S stops a terminal's output; the program goes on, and the terminal gets
// what was typed once Ctrl-Q lets it go. The terminal's description that the
// program was given, shared with the test as with a shell, is left as it was.
TEST_F(ResilienceTest, APausedTerminalHoldsUpNothingAndGetsTheSwipeOnceResumed) {
    platform::UniqueFd master(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(master.Valid() && grantpt(master.Get()) == 0 && unlockpt(master.Get()) == 0);
    platform::UniqueFd terminal(open(ptsname(master.Get()), O_RDWR | O_NOCTTY | O_CLOEXEC));
    terminal_ = terminal.Get();
    WriteHive(SettingsHive(1, 1, ""));
    ASSERT_NO_FATAL_FAILURE(StartSimulator("msr"));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    std::string shown;
    auto readTerminal = [&] {
        char buffer[4096];
        for (ssize_t n; (n = read(master.Get(), buffer, sizeof buffer)) > 0;) {
            shown.append(buffer, static_cast<std::size_t>(n));
        }
        return shown.find(kTyped) != std::string::npos;
    };
    ASSERT_EQ(write(master.Get(), "\x13", 1), 1);
    ASSERT_TRUE(WaitUntil([&] {
        pollfd room{terminal.Get(), POLLOUT, 0};
        return poll(&room, 1, 0) == 0;
    })) << "the terminal did not stop";
    sim_.Write(kSwipe);
    ASSERT_TRUE(WaitUntil([&] { return Logged("\"char\":13") == 1; }));
    EXPECT_EQ(
        Send({"--timeout", "1", "--control", std::to_string(IDC_READING_ENABLE), "BM_GETCHECK"})
            .status,
        0);
    EXPECT_FALSE(readTerminal());
    EXPECT_EQ(fcntl(terminal.Get(), F_GETFL) & O_NONBLOCK, 0);
    ASSERT_EQ(write(master.Get(), "\x11", 1), 1);
    EXPECT_TRUE(WaitUntil(readTerminal)) << shown;
    Terminate();
}

TEST_F(ResilienceTest, StartedWithStandardDescriptorsClosedItWritesOnlyEventsInItsLog) {
    WriteHive(SettingsHive(1, 1, ""));
    ASSERT_NO_FATAL_FAILURE(StartSimulator("msr"));
    wrapper_ = {"/bin/sh", "-c", "exec \"$0\" \"$@\" <&- >&- 2>&-"};
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    for (int fd = 0; fd < 3; ++fd) {
        std::string own = "/proc/" + std::to_string(program_.Pid()) + "/fd/" + std::to_string(fd);
        EXPECT_EQ(std::filesystem::read_symlink(own), "/dev/null") << fd;
    }
    sim_.Write(kSwipe); // typed text, and a debug line on the way
    ASSERT_TRUE(WaitUntil([&] { return Logged("\"char\":13") == 1; }));
    Terminate();
    std::istringstream log(ReadFile(log_));
    for (std::string line; std::getline(log, line);) {
        EXPECT_TRUE(line.starts_with("{\"t\":") && line.ends_with("}")) << line;
    }
}

// A save that cannot reach the disk: the registry folder made read-only while
// the program runs, or a full disk (a tmpfs of one page, in a mount namespace of
// the program's own, which takes root).
struct FailedSave {
    const char* name;
    const char* cause;
};

class FailedSaveTest : public ResilienceTest, public testing::WithParamInterface<FailedSave> {};

TEST_P(FailedSaveTest, IsSaidOnceWithItsCauseAndTheProgramGoesOn) {
    std::filesystem::path registry = root_ / "registry";
    std::filesystem::create_directories(registry);
    bool fullDisk = std::string(GetParam().name) == "FullDisk";
    if (fullDisk) {
        if (test_support::Run(
                {"/usr/bin/unshare", "-m", "/bin/mount", "-t", "tmpfs", "tmpfs", registry.string()})
                .status != 0) {
            GTEST_SKIP() << "no tmpfs in a mount namespace of its own here (it takes root)";
        }
        std::string fillThenRun =
            "mount -t tmpfs -o size=4k tmpfs \"$0\" && "
            "{ head -c 8192 /dev/zero >\"$0/fill\" 2>/dev/null; exec \"$@\"; }";
        wrapper_ = {"/usr/bin/unshare", "-m", "/bin/sh", "-c", fillThenRun, registry.string()};
    } else if (geteuid() == 0) {
        // Root writes into any folder: the program runs without that power.
        wrapper_ = {"/usr/bin/setpriv", "--bounding-set", "-dac_override,-dac_read_search", "--"};
    }
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_TRUE(fullDisk || chmod(registry.c_str(), 0500) == 0);
    ASSERT_EQ(Send({"--control", std::to_string(IDC_OK), "BM_CLICK"}).status, 0); // OK
    std::string said = "swipetype: The settings could not be saved in " +
                       (registry / "HKEY_LOCAL_MACHINE.reg").string() + " (" + GetParam().cause +
                       ").";
    EXPECT_TRUE(WaitUntil([&] { return Count(program_.Errors(), said) == 1; }))
        << program_.Errors();
    program_.Signal(SIGTERM); // "Exit" saves again, and fails the same way
    EXPECT_EQ(program_.Wait(5s), 0);
    chmod(registry.c_str(), 0700);
    EXPECT_EQ(Count(program_.Errors(), said), 1u) << program_.Errors();
    ASSERT_EQ(LogLines("notice").size(), 1u);
    EXPECT_NE(LogLines("notice")[0].find(GetParam().cause), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(, FailedSaveTest,
                         testing::Values(FailedSave{"ReadOnlyRoot",
                                                    "its folder is read-only: Permission denied"},
                                         FailedSave{"FullDisk", "No space left on device"}),
                         testsupport::ByName());

} // namespace
} // namespace e2e
