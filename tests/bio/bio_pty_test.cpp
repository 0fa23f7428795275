// The serial library on a real tty: a pseudo-terminal stands for COM1:, and its
// far end checks what reached the line.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "bio/bio.h"
#include "platform/core/system.h"
#include "platform/serial/port_presence.h"
#include "platform/serial/serial_notes.h"
#include "platform/serial/serial_port_names.h"
#include "support/child_process.h"
#include "support/serial_pty_pair.h"
#include "support/serial_test_deadline.h"

namespace {

using serialtest::PtyPair;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

class BioPtyTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty_.Ready()) << "no pseudo-terminal available";
        platform::SetPortPath(1, pty_.Path());
        platform::ForgetSerialNotes();
    }
    void TearDown() override {
        for (int id = 0; id < BIO_PORT_COUNT; id++) {
            bio_close_port(id);
        }
        platform::ClearPortPaths();
        platform::ForgetSerialNotes();
    }

    // COM1: set up as the MSR reader sets it up; the test fails if it does not open.
    static int OpenReaderLine() {
        int id = bio_open_port(1, 1024, 1024);
        EXPECT_EQ(bio_setup_port(id, 9600, 0, 3, 0, 4, 0), 0);
        return id;
    }

    PtyPair pty_;
    serialtest::TestDeadline deadline_;
};

void ExpectReaderLine(const termios& line, speed_t speed) {
    EXPECT_EQ(cfgetospeed(&line), speed);
    EXPECT_EQ(cfgetispeed(&line), speed);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_NE(line.c_cflag & CREAD, 0u);
}

// Another program trying the tty while the port is open. A privileged process
// passes TIOCEXCL, so as root the attempt runs in a child that gives its
// privileges up first.
int OpenFromAnotherProgram(const std::string& path) {
    return test_support::RunInChild(
        [&] {
            int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            return fd >= 0 ? 0 : (errno == EBUSY ? 1 : 2);
        },
        true);
}

TEST_F(BioPtyTest, PortIsExclusiveWhileOpenAndReleasedAtClose) {
    if (geteuid() == 0) {
        ASSERT_EQ(chmod(pty_.Path().c_str(), 0666), 0);
    }
    int id = bio_open_port(1, 1024, 1024);
    ASSERT_EQ(id, 0);
    HANDLE second =
        CreateFileW(u"COM1:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    platform::SetPortPath(2, pty_.Path());
    EXPECT_EQ(bio_open_port(2, 1024, 1024), -BIO_NO_PORT);
    EXPECT_EQ(OpenFromAnotherProgram(pty_.Path()), 1) << "another program opened the tty";

    EXPECT_EQ(bio_close_port(id), 0);
    EXPECT_EQ(OpenFromAnotherProgram(pty_.Path()), 0);
    EXPECT_EQ(bio_open_port(2, 1024, 1024), 0);
}

TEST_F(BioPtyTest, ClosePutsBackTheTtysOwnSettings) {
    // A tty in an ordinary state: line editing and echo, 2400 baud, 7E2.
    termios before = pty_.Settings();
    cfsetispeed(&before, B2400);
    cfsetospeed(&before, B2400);
    before.c_lflag |= ICANON | ECHO | ISIG;
    before.c_iflag |= ICRNL | IXON;
    before.c_cflag |= CSTOPB;
    before.c_cc[VMIN] = 1;
    pty_.SetSettings(before);
    before = pty_.Settings();

    int id = bio_open_port(1, 1024, 1024);
    ASSERT_EQ(bio_setup_port(id, 19200, 0, 3, 0, 4, 0), 0);
    termios during = pty_.Settings();
    ASSERT_EQ(cfgetospeed(&during), B19200);
    ASSERT_EQ(bio_close_port(id), 0);

    termios after = pty_.Settings();
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(std::memcmp(after.c_cc, before.c_cc, sizeof after.c_cc), 0);
    EXPECT_EQ(cfgetospeed(&after), B2400);
}

// A far end that goes away (an unplugged adapter, a simulator that ended) makes
// every call return at once, reading nothing and writing nothing; when a tty appears again at the
// port's path (here a link, as a simulator's --link or a /dev/serial/by-id name
// is), it is taken again with the line settings the program set.
TEST_F(BioPtyTest, AFarEndThatGoesAndComesBackIsTakenAgainWithItsSettings) {
    std::string link = "/tmp/bio-pty-link-" + std::to_string(getpid());
    ASSERT_EQ(symlink(pty_.Path().c_str(), link.c_str()), 0);
    platform::SetPortPath(1, link);
    EXPECT_EQ(platform::ComPortPresence(1), platform::PortPresence::Off);
    int id = OpenReaderLine();
    EXPECT_EQ(platform::ComPortPresence(1), platform::PortPresence::Open);
    pty_.CloseMaster();
    char line[64];
    auto start = steady_clock::now();
    EXPECT_EQ(bio_get_inputcount(id), 0);
    EXPECT_EQ(platform::ComPortPresence(1), platform::PortPresence::Waiting);
    EXPECT_EQ(bio_read_line(id, sizeof line, line), 0);
    EXPECT_EQ(bio_read_bytes(id, 8, line), 0);
    EXPECT_EQ(bio_write_bytes(id, 10, "0123456789"), 0) << "nothing was written";
    EXPECT_EQ(bio_write_string(id, "abc"), 0);
    EXPECT_EQ(bio_write_char(id, 'a'), BIO_WRITE_INCOMPLETE);
    const char* const replies[] = {"OK", nullptr};
    EXPECT_EQ(bio_wait_response(id, 2000, "AT\r", replies), -BIO_WRITE_INCOMPLETE);
    EXPECT_LT(steady_clock::now() - start, milliseconds(500));

    PtyPair second;
    ASSERT_TRUE(second.Ready());
    std::remove(link.c_str());
    ASSERT_EQ(symlink(second.Path().c_str(), link.c_str()), 0);
    second.Send("back\r");
    while (bio_get_inputcount(id) == 0 && steady_clock::now() - start < milliseconds(3000)) {
        usleep(10000);
    }
    EXPECT_EQ(bio_read_line(id, sizeof line, line), 4);
    EXPECT_EQ(platform::ComPortPresence(1), platform::PortPresence::Open);
    ExpectReaderLine(second.Settings(), B9600);
    std::remove(link.c_str());
}

} // namespace
