// The serial calls on a real tty (a pseudo-terminal): opening, raw mode, rates,
// what GetCommState reports, counts, and the reasons an open fails.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <optional>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

#include "platform/core/recorder.h"
#include "platform/core/system.h"
#include "platform/serial/comm.h"
#include "platform/serial/serial_notes.h"
#include "platform/serial/serial_port_names.h"
#include "platform/serial/tty/serial_custom_rate.h"
#include "support/serial_pty_pair.h"
#include "support/serial_test_deadline.h"

namespace {

using serialtest::PtyPair;
using std::chrono::milliseconds;

class SerialTtyTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty_.Ready()) << "no pseudo-terminal available";
        platform::SetPortPath(5, pty_.Path());
        platform::ForgetSerialNotes();
        platform::StartRecording();
    }
    void TearDown() override {
        if (port_ != INVALID_HANDLE_VALUE) {
            CloseHandle(port_);
        }
        platform::StopRecording();
        platform::ClearPortPaths();
        platform::ForgetSerialNotes();
    }
    HANDLE OpenPort() {
        port_ = CreateFileW(u"COM5:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                            nullptr);
        EXPECT_NE(port_, INVALID_HANDLE_VALUE) << "error " << GetLastError();
        return port_;
    }
    DCB State() {
        DCB dcb{};
        EXPECT_TRUE(GetCommState(port_, &dcb));
        return dcb;
    }

    PtyPair pty_;
    serialtest::TestDeadline deadline_;
    HANDLE port_ = INVALID_HANDLE_VALUE;
};

TEST_F(SerialTtyTest, OpenMakesTheTtyRawKeepsItsLineAndGetCommStateReadsIt) {
    termios before = pty_.Settings();
    ASSERT_NE(before.c_lflag & ECHO, 0u); // a fresh pseudo-terminal echoes
    OpenPort();
    termios open = pty_.Settings();
    EXPECT_EQ(open.c_lflag & (ECHO | ICANON | ISIG), 0u);
    EXPECT_EQ(open.c_oflag & OPOST, 0u);
    EXPECT_EQ(cfgetospeed(&open), cfgetospeed(&before));
    EXPECT_EQ(open.c_cflag & CSIZE, before.c_cflag & CSIZE);
    // Nothing sent is echoed back down the line, even before any setup.
    pty_.Send("hello\r");
    EXPECT_EQ(pty_.Receive(1, milliseconds(20)), "");
    // GetCommState reads the tty.
    DCB dcb = State();
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.BaudRate, 38400u); // a fresh pseudo-terminal's rate
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
}

TEST_F(SerialTtyTest, StandardAndOtherRates) {
    OpenPort();
    for (DWORD rate : {9600u, 19200u, 115200u, 14400u, 250000u, 9600u}) {
        SCOPED_TRACE(rate);
        DCB dcb = State();
        dcb.BaudRate = rate;
        ASSERT_TRUE(SetCommState(port_, &dcb));
        EXPECT_EQ(State().BaudRate, rate);
        // Input and output run at the same rate, also after a rate set by number.
        std::optional<platform::LineRates> rates = platform::ReadLineRates(pty_.Master());
        ASSERT_TRUE(rates);
        EXPECT_EQ(rates->input, rate);
        EXPECT_EQ(rates->output, rate);
    }
}

TEST_F(SerialTtyTest, SettingsThePseudoTerminalKeepsAreReportedAsItHasThem) {
    OpenPort();
    DCB dcb = State();
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    ASSERT_TRUE(SetCommState(port_, &dcb));
    termios line = pty_.Settings();
    DCB back = State();
    // Whatever the tty took, GetCommState says the same as the tty.
    EXPECT_EQ(back.ByteSize, (line.c_cflag & CSIZE) == CS7 ? 7 : 8);
    EXPECT_EQ(back.Parity, (line.c_cflag & PARENB) != 0 ? EVENPARITY : NOPARITY);
    EXPECT_EQ(back.StopBits, TWOSTOPBITS);
    EXPECT_NE(line.c_cflag & CSTOPB, 0u);
    bool kept = back.ByteSize != 7 || back.Parity != EVENPARITY;
    bool said = false;
    for (const auto& text : platform::Recorded().debugLines) {
        said = said || text.find(u"the device keeps") != std::u16string::npos;
    }
    EXPECT_EQ(said, kept);
}

TEST_F(SerialTtyTest, CountsAndPurgeOnTheTty) {
    OpenPort();
    COMMTIMEOUTS immediate{MAXDWORD, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port_, &immediate));
    pty_.Send("0123456789");
    COMSTAT status{};
    DWORD errors = 1;
    ASSERT_TRUE(ClearCommError(port_, &errors, &status));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(status.cbInQue, 10u);
    char bytes[16];
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(port_, bytes, 4, &read, nullptr));
    EXPECT_EQ(std::string(bytes, read), "0123");
    ASSERT_TRUE(ClearCommError(port_, nullptr, &status));
    EXPECT_EQ(status.cbInQue, 6u);
    ASSERT_TRUE(PurgeComm(port_, PURGE_RXCLEAR | PURGE_RXABORT));
    ASSERT_TRUE(ClearCommError(port_, nullptr, &status));
    EXPECT_EQ(status.cbInQue, 0u);
    ASSERT_TRUE(ReadFile(port_, bytes, 4, &read, nullptr));
    EXPECT_EQ(read, 0u);
}

// Settings, line reads and line changes each say once that there are no lines.
TEST_F(SerialTtyTest, NoModemLinesIsSaidOnceAndReported) {
    OpenPort();
    DCB dcb = State();
    for (int twice = 0; twice < 2; ++twice) {
        ASSERT_TRUE(SetCommState(port_, &dcb));
        DWORD lines = 0;
        EXPECT_FALSE(GetCommModemStatus(port_, &lines));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
        EXPECT_FALSE(EscapeCommFunction(port_, SETBREAK));
    }
    EXPECT_TRUE(EscapeCommFunction(port_, SETXOFF));
    EXPECT_TRUE(EscapeCommFunction(port_, SETXON));
    int noLines = 0;
    for (const auto& text : platform::Recorded().debugLines) {
        noLines += text.find(u"has no modem lines") != std::u16string::npos;
    }
    EXPECT_EQ(noLines, 3);
}

// A signal is no error for a wait: the read goes on and gets what comes after.
TEST_F(SerialTtyTest, SignalsDuringAReadAreNoError) {
    OpenPort();
    COMMTIMEOUTS timeouts{0, 0, 5000, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port_, &timeouts));
    struct sigaction ignore {};
    ignore.sa_handler = [](int) {};
    ASSERT_EQ(sigaction(SIGUSR1, &ignore, nullptr), 0);
    std::thread signaller([this, reader = pthread_self()] {
        for (int i = 0; i < 10; ++i) {
            std::this_thread::sleep_for(milliseconds(20));
            pthread_kill(reader, SIGUSR1);
        }
        (void)!::write(pty_.Master(), "x", 1);
    });
    char byte = 0;
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(port_, &byte, 1, &read, nullptr)) << "error " << GetLastError();
    signaller.join();
    EXPECT_EQ(std::string(&byte, read), "x");
    std::signal(SIGUSR1, SIG_DFL);
}

TEST_F(SerialTtyTest, OpenFailuresSayWhy) {
    platform::SetPortPath(6, "/nonexistent/serial-device");
    EXPECT_EQ(
        CreateFileW(u"COM6:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    char name[] = "/tmp/serial-tty-test-XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    platform::SetPortPath(6, name);
    EXPECT_EQ(
        CreateFileW(u"COM6:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    // A device path through a plain file: for the port's caller, no such port.
    platform::SetPortPath(6, std::string(name) + "/inside");
    EXPECT_EQ(
        CreateFileW(u"COM6:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    std::remove(name);

    const auto& lines = platform::Recorded().debugLines;
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], u"COM6: cannot open /nonexistent/serial-device: No such file or directory");
    EXPECT_NE(lines[1].find(u"not a terminal device"), std::u16string::npos);
}

} // namespace
