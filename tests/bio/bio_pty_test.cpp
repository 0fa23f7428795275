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

TEST_F(BioPtyTest, ReaderSetupsReachTheTty) {
    int id = bio_open_port(1, 1024, 1024);
    ASSERT_EQ(id, 0);
    ASSERT_EQ(bio_setup_port(id, 9600, 0, 3, 0, 4, 0), 0);
    ExpectReaderLine(pty_.Settings(), B9600);
    ASSERT_EQ(bio_setup_port(id, 19200, 0, 3, 0, 4, 0), 0);
    ExpectReaderLine(pty_.Settings(), B19200);
    // A pseudo-terminal has no modem lines: the DCB keeps DTR and RTS as asked.
    DCB dcb{};
    ASSERT_TRUE(GetCommState(bio_get_slot(id)->handle, &dcb));
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.fDtrControl, DTR_CONTROL_ENABLE);
    EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_ENABLE);
    EXPECT_EQ(bio_get_carrier(id), 0);
    EXPECT_EQ(bio_set_dtr(id), BIO_IO_FAILED);
}

TEST_F(BioPtyTest, BytesBothWays) {
    int id = OpenReaderLine();
    pty_.Send("%B4111?\r\n;4111=?\r");
    char line[1024];
    EXPECT_EQ(bio_read_line(id, sizeof line, line), 7);
    EXPECT_STREQ(line, "%B4111?");
    EXPECT_EQ(bio_read_line(id, sizeof line, line), 7);
    EXPECT_STREQ(line, ";4111=?");
    EXPECT_EQ(bio_get_inputcount(id), 0);

    EXPECT_EQ(bio_write_bytes(id, 4, "\x02\x10\x00\x03"), 4);
    EXPECT_EQ(bio_write_string(id, "ping"), -BIO_ALL_WRITTEN);
    EXPECT_EQ(pty_.Receive(8, milliseconds(1000)), std::string("\x02\x10\x00\x03ping", 8));
    // Raw in both directions: no line editing, no CR/LF translation, no echo.
    pty_.Send("a\rb\x7F\x03");
    char bytes[8];
    EXPECT_EQ(bio_read_bytes(id, 8, bytes), 5);
    EXPECT_EQ(std::string(bytes, 5), "a\rb\x7F\x03");
    EXPECT_EQ(pty_.Receive(1, milliseconds(20)), "");
}

TEST_F(BioPtyTest, ReadsEndAfterTheReadTimeout) {
    int id = OpenReaderLine();
    char line[64];
    auto start = steady_clock::now();
    EXPECT_EQ(bio_read_bytes(id, 8, line), 0);
    EXPECT_EQ(bio_read_line(id, sizeof line, line), 0);
    EXPECT_EQ(bio_read_char(id), 0);
    auto took = steady_clock::now() - start;
    EXPECT_GE(took, milliseconds(3)); // three reads of about 1 ms each
    EXPECT_LT(took, milliseconds(200));
}

TEST_F(BioPtyTest, WriteStopsShortWhenTheLineDoesNotTakeBytes) {
    int id = OpenReaderLine();
    // Fill the line until it takes nothing more: nobody reads the far end. The
    // filling writes get 20 ms each rather than 5 ms a byte.
    HANDLE handle = bio_get_slot(id)->handle;
    COMMTIMEOUTS filling{0, 0, 1, 0, 20};
    ASSERT_TRUE(SetCommTimeouts(handle, &filling));
    std::string block(4096, 'x');
    int total = 0;
    for (int i = 0; i < 64; i++) {
        int written = bio_write_bytes(id, 4096, block.data());
        ASSERT_GE(written, 0);
        total += written;
        if (written < 4096) {
            break;
        }
    }
    ASSERT_GT(total, 0);
    ASSERT_TRUE(SetCommTimeouts(handle, &bio_get_slot(id)->currentTimeouts));
    // Now 10 bytes get their 5 ms each and no more.
    auto start = steady_clock::now();
    EXPECT_EQ(bio_write_bytes(id, 10, "0123456789"), 0);
    auto took = steady_clock::now() - start;
    EXPECT_GE(took, milliseconds(50));
    EXPECT_LT(took, milliseconds(500));
    EXPECT_EQ(bio_write_char(id, 'z'), BIO_WRITE_INCOMPLETE);
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

milliseconds ProcessTime() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return milliseconds(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

// A wait sleeps instead of polling: a silent 2 s call wait costs next to no
// processor time (bench_serial measures it; polling took most of the 2 s).
TEST_F(BioPtyTest, ASilentCallWaitSleeps) {
    int id = OpenReaderLine();
    ASSERT_EQ(bio_set_modemvalue(id, 3, 2000), 0);
    milliseconds processorBefore = ProcessTime();
    auto start = steady_clock::now();
    EXPECT_EQ(bio_wait_connect(id), BIO_NO_CALL_RESULT);
    EXPECT_GE(steady_clock::now() - start, milliseconds(1999));
    EXPECT_LT(ProcessTime() - processorBefore, milliseconds(100));
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
