// The program as a systemd user unit runs it: a real NOTIFY_SOCKET (a datagram
// socket this test reads), WATCHDOG_USEC, and standard error the journal's
// stream (JOURNAL_STREAM naming it); and the status an administrator's checks
// read when reads cannot become keys.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include "e2e/program_fixture.h"
#include "platform/core/unique_fd.h"
#include "support/scoped_environment.h"

namespace e2e {
namespace {

const std::string kSwipe = ";4111111111111111=2512?\n";

class ServiceTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        notify_.Reset(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::string path = (dir_ / "notify").string();
        ASSERT_LT(path.size(), sizeof address.sun_path);
        path.copy(address.sun_path, path.size());
        ASSERT_EQ(bind(notify_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        int pair[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
        journal_.Reset(pair[0]);
        stream_.Reset(pair[1]);
        struct stat stream {};
        ASSERT_EQ(fstat(stream_.Get(), &stream), 0);
        journalStream_ = std::to_string(stream.st_dev) + ":" + std::to_string(stream.st_ino);
        terminal_ = stream_.Get();
    }

    // Waits for a datagram holding `text`; the datagrams before it are read.
    bool Told(const std::string& text, std::chrono::milliseconds timeout = 5s) {
        return WaitUntil(
            [&] {
                char datagram[4096];
                ssize_t n;
                while ((n = recv(notify_.Get(), datagram, sizeof datagram, 0)) > 0) {
                    told_.emplace_back(datagram, static_cast<std::size_t>(n));
                    if (told_.back().find(text) != std::string::npos) {
                        return true;
                    }
                }
                return false;
            },
            timeout);
    }

    std::string Journal() {
        char chunk[4096];
        ssize_t n;
        while ((n = recv(journal_.Get(), chunk, sizeof chunk, MSG_DONTWAIT)) > 0) {
            journalText_.append(chunk, static_cast<std::size_t>(n));
        }
        return journalText_;
    }

    platform::UniqueFd notify_;
    platform::UniqueFd journal_;
    platform::UniqueFd stream_;
    std::string journalStream_;
    std::string journalText_;
    std::vector<std::string> told_;
};

TEST_F(ServiceTest, TheUnitIsToldReadyStatusAndWatchdogOnlyWhileTheLoopTurns) {
    test_support::ScopedEnvironment socket("NOTIFY_SOCKET", (dir_ / "notify").c_str());
    test_support::ScopedEnvironment watchdog("WATCHDOG_USEC", "300000");
    test_support::ScopedEnvironment journal("JOURNAL_STREAM", journalStream_.c_str());
    WriteHive(SettingsHive(1, 1, ""));
    ASSERT_NO_FATAL_FAILURE(StartSimulator("msr"));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_TRUE(Told("READY=1"));
    EXPECT_NE(told_.back().find("STATUS=reader open on " + device_ + "; keys: text, typing"),
              std::string::npos)
        << told_.back();
    EXPECT_TRUE(WaitUntil([&] {
        return Journal().find("<6>swipetype: keys go to the text sink, as asked") !=
               std::string::npos;
    })) << Journal();
    sim_.Write(kSwipe);
    EXPECT_TRUE(Told("reads: 1 good, 0 bad, 0 dropped"));

    // Stopped: no watchdog, and a status asked for names it at once.
    program_.Signal(SIGSTOP);
    Told("\n", 100ms); // what was under way
    told_.clear();
    auto asked = Clock::now();
    SendResult stopped = Config({"--timeout", "3", "status"});
    EXPECT_LT(Clock::now() - asked, 1500ms);
    EXPECT_EQ(stopped.status, 1);
    EXPECT_NE(stopped.err.find("(pid " + std::to_string(program_.Pid()) + ") is stopped"),
              std::string::npos)
        << stopped.err;
    EXPECT_FALSE(Told("WATCHDOG=1", 500ms)) << "fed while the loop stood still";
    program_.Signal(SIGCONT);
    EXPECT_TRUE(Told("WATCHDOG=1", 1s));

    program_.Signal(SIGUSR1);
    EXPECT_TRUE(Told("RELOADING=1"));
    EXPECT_TRUE(Told("READY=1"));
    program_.Signal(SIGTERM);
    EXPECT_TRUE(Told("STOPPING=1"));
    EXPECT_EQ(program_.Wait(5s), 0);
}

struct NotTyping {
    const char* name;
    const char* keys;  // the sink asked for
    const char* mode;  // the simulator's
    int useMsr;        // the hive's
    bool stopReader;   // the simulator stopped: a reader that does not answer
    const char* found; // in status --json
};

class StatusTest : public ProgramTest, public testing::WithParamInterface<NotTyping> {};

TEST_P(StatusTest, ReadsThatCannotBecomeKeysGiveExitStatus4) {
    const NotTyping& row = GetParam();
    keys_ = row.keys;
    WriteHive(SettingsHive(1, row.useMsr, ""));
    ASSERT_NO_FATAL_FAILURE(StartSimulator(row.mode));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    if (row.stopReader) {
        sim_.Signal(SIGSTOP);
    } else {
        sim_.Write(kSwipe);
    }
    SendResult status;
    EXPECT_TRUE(WaitUntil([&] {
        status = Config({"status", "--json"});
        return status.out.find(row.found) != std::string::npos;
    })) << status.out;
    EXPECT_EQ(status.status, 4) << status.out;
    if (row.stopReader) {
        sim_.Signal(SIGCONT);
        EXPECT_TRUE(WaitUntil([&] { return Config({"status"}).status == 0; }));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StatusTest,
    testing::Values(
        NotTyping{"NoSink", "none", "msr", 1, false,
                  R"("keys":{"sink":"none","state":"none","since":null},"good_reads":0,)"
                  R"("bad_reads":0,"dropped_reads":1,)"},
        NotTyping{"SilentRfidReader", "text", "rfid", 0, true, R"("reader":"silent")"}),
    [](const testing::TestParamInfo<NotTyping>& info) { return info.param.name; });

} // namespace
} // namespace e2e
