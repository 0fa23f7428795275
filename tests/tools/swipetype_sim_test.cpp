// The reader simulator, driven as a user drives it: a child process whose device the
// test opens as the program would, setting the line up with termios.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

#include "support/sim_process.h"

namespace {

using namespace std::chrono_literals;
using test_support::SimProcess;
using SteadyClock = std::chrono::steady_clock;

const std::string kSimulator = SWIPETYPE_SIM_PATH;

// The program's end of the line.
class Port {
  public:
    Port(const std::string& path, speed_t speed) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ >= 0) {
            SetSpeed(speed);
        }
    }
    ~Port() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    bool IsOpen() const { return fd_ >= 0; }

    void SetSpeed(speed_t speed) {
        termios settings{};
        tcgetattr(fd_, &settings);
        cfmakeraw(&settings);
        cfsetispeed(&settings, speed);
        cfsetospeed(&settings, speed);
        tcsetattr(fd_, TCSANOW, &settings);
    }

    void Write(const std::string& bytes) {
        ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Reads until `count` bytes came or `limit` passed; the time of the last byte in
    // `last`.
    std::string Read(std::size_t count, std::chrono::milliseconds limit,
                     SteadyClock::time_point* first = nullptr,
                     SteadyClock::time_point* last = nullptr) {
        std::string got;
        auto deadline = SteadyClock::now() + limit;
        while (got.size() < count && SteadyClock::now() < deadline) {
            pollfd ready{fd_, POLLIN, 0};
            if (poll(&ready, 1, 5) <= 0) {
                continue;
            }
            char bytes[256];
            ssize_t n = read(fd_, bytes, sizeof bytes);
            if (n > 0) {
                if (got.empty() && first != nullptr) {
                    *first = SteadyClock::now();
                }
                got.append(bytes, static_cast<std::size_t>(n));
                if (last != nullptr) {
                    *last = SteadyClock::now();
                }
            }
        }
        return got;
    }

  private:
    int fd_ = -1;
};

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int value : values) {
        bytes += static_cast<char>(value);
    }
    return bytes;
}

const std::string kRequest = Bytes({0xBA, 0x02, 0x01, 0xB9});

TEST(SwipetypeSimTest, MsrSendsEachLineWithACarriageReturnOnlyAtTheRateGivenWithBaud) {
    SimProcess sim(kSimulator, {"msr", "--baud", "4800"});
    ASSERT_TRUE(sim.Started());
    Port port(sim.DevicePath(), B9600);
    ASSERT_TRUE(port.IsOpen());
    ASSERT_TRUE(sim.Send(";1234=5678?\n"));
    EXPECT_TRUE(sim.Reports("lost: the line is set to 9600 baud"));
    EXPECT_EQ(port.Read(1, 200ms), "");
    port.SetSpeed(B4800);
    const std::string swipe = "%B0001^TEST/CARD^9912?;0001=9912?";
    ASSERT_TRUE(sim.Send(swipe + "\n\n"));
    SteadyClock::time_point first, last;
    EXPECT_EQ(port.Read(swipe.size() + 1, 3s, &first, &last), swipe + "\r");
    // 34 bytes of 10 bits at 4800 baud: 33 byte times (69 ms) between first and
    // last; a first byte read late shortens that on a busy machine, and twice the
    // rate would give 34 ms.
    EXPECT_GE(last - first, 45ms);
    auto report = sim.ReadErrorLine(2s);
    ASSERT_TRUE(report.has_value());
    EXPECT_NE(report->find("swipe sent: 34 bytes at 4800 baud"), std::string::npos) << *report;
    EXPECT_EQ(report->find("TEST"), std::string::npos) << "card data must not be printed";
}

TEST(SwipetypeSimTest, RfidAnswersWithTheTagOrThatThereIsNone) {
    SimProcess sim(kSimulator, {"rfid", "--quiet"});
    ASSERT_TRUE(sim.Started());
    Port port(sim.DevicePath(), B19200);
    // Header, length, command, status "no tag", check.
    std::string none = Bytes({0xBD, 0x04, 0x01, 0x01});
    none += static_cast<char>(0xBD ^ 0x04 ^ 0x01 ^ 0x01);
    port.Write(kRequest);
    EXPECT_EQ(port.Read(none.size() + 1, 500ms), none);
    ASSERT_TRUE(sim.Send("0A 1B C2 03\n"));
    usleep(100000);
    port.Write(kRequest);
    std::string reply = Bytes({0xBD, 0x08, 0x01, 0x00, 0x0A, 0x1B, 0xC2, 0x03});
    reply += static_cast<char>(0xBD ^ 0x08 ^ 0x01 ^ 0x0A ^ 0x1B ^ 0xC2 ^ 0x03);
    EXPECT_EQ(port.Read(reply.size() + 1, 500ms), reply);
    ASSERT_TRUE(sim.Send("none\n"));
    usleep(100000);
    port.Write(kRequest);
    EXPECT_EQ(port.Read(none.size() + 1, 500ms), none);
}

// Only whole requests at the reader's rate are answered, one written in two
// pieces too; the reply carries a seven-byte tag and its check byte.
TEST(SwipetypeSimTest, RfidAnswersWholeRequestsAtItsRateOnly) {
    SimProcess sim(kSimulator, {"rfid", "--tag", "04A1226B1C5F80"});
    ASSERT_TRUE(sim.Started());
    ASSERT_TRUE(sim.ReadErrorLine(2s).has_value()); // "tag presented"
    Port port(sim.DevicePath(), B19200);
    port.Write(Bytes({0xBA, 0x02, 0x01, 0xB8}) + Bytes({0x00, 0xBA}));
    EXPECT_EQ(port.Read(1, 200ms), "");
    port.SetSpeed(B9600);
    port.Write(kRequest);
    EXPECT_TRUE(sim.Reports("request lost: the line is set to 9600 baud"));
    EXPECT_EQ(port.Read(1, 200ms), "");
    port.SetSpeed(B19200);
    port.Write(kRequest.substr(0, 1));
    usleep(20000);
    port.Write(kRequest.substr(1));
    std::string reply = Bytes({0xBD, 0x0B, 0x01, 0x00, 0x04, 0xA1, 0x22, 0x6B, 0x1C, 0x5F, 0x80});
    reply += static_cast<char>(0xBD ^ 0x0B ^ 0x01 ^ 0x04 ^ 0xA1 ^ 0x22 ^ 0x6B ^ 0x1C ^ 0x5F ^ 0x80);
    EXPECT_EQ(port.Read(reply.size() + 1, 500ms), reply);
    // An input line that is no tag.
    ASSERT_TRUE(sim.Send("12345\n"));
    EXPECT_TRUE(sim.Reports("not a tag"));
}

TEST(SwipetypeSimTest, ExitsAtTheEndOnceEverythingWasRead) {
    auto folder =
        std::filesystem::temp_directory_path() / ("swipetype-sim-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    auto link = folder / "COM1";
    {
        SimProcess sim(kSimulator, {"msr", "--link", link.string(), "--exit-at-end", "--quiet"});
        ASSERT_TRUE(sim.Started());
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.DevicePath());
        // The swipes go in once the line is at the reader's rate: sent at another
        // rate they would be unintelligible, and dropped.
        Port port(link.string(), B9600);
        ASSERT_TRUE(sim.Send(";111=1?\n;222=2?"));
        sim.CloseInput();
        EXPECT_EQ(sim.Wait(300ms), std::nullopt) << "ended before the program read the line";
        EXPECT_EQ(port.Read(16, 3s), ";111=1?\r;222=2?\r");
        EXPECT_EQ(sim.Wait(3s), std::optional<int>(0));
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    std::filesystem::remove_all(folder);
}

struct UsageCase {
    std::vector<std::string> arguments;
    int status;
    const char* says;
};

TEST(SwipetypeSimTest, UsageErrorsAreClear) {
    const UsageCase cases[] = {
        {{}, 2, "no mode given"},
        {{"tape"}, 2, "unknown mode 'tape'"},
        {{"msr", "--tag", "01020304"}, 2, "unknown option '--tag' for msr mode"},
        {{"rfid", "--tag", "0102"}, 2, "--tag wants 8 or 14 hexadecimal digits"},
        {{"msr", "--baud", "fast"}, 2, "--baud wants a rate"},
        {{"msr", "--baud"}, 2, "needs a value"},
        {{"msr", "--input", "/nonexistent/cards"}, 1, "cannot open /nonexistent/cards"},
        {{"modem", "--dial-result", "engaged"}, 2, "--dial-result wants connect, busy"},
        {{"modem", "--speed", "fast"}, 2, "--speed wants a speed"},
        {{"modem", "--carrier", "0"}, 2, "--carrier wants a speed"},
        {{"modem", "--guard-time", "-5"}, 2, "--guard-time wants milliseconds"},
        {{"modem", "--tag", "01020304"}, 2, "unknown option '--tag' for modem mode"},
    };
    for (const UsageCase& usage : cases) {
        SimProcess sim(kSimulator, usage.arguments);
        auto message = sim.ReadErrorLine(2s);
        ASSERT_TRUE(message.has_value()) << usage.says;
        EXPECT_NE(message->find(usage.says), std::string::npos) << *message;
        EXPECT_EQ(sim.Wait(2s), std::optional<int>(usage.status)) << usage.says;
    }
}

// The modem: a line written by the program, and what comes back.
class SwipetypeSimModemTest : public testing::Test {
  protected:
    // Starts the modem with `arguments` and opens its line at 19200 baud.
    void Start(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "modem");
        sim_ = std::make_unique<SimProcess>(kSimulator, arguments);
        ASSERT_TRUE(sim_->Started());
        port_ = std::make_unique<Port>(sim_->DevicePath(), B19200);
        ASSERT_TRUE(port_->IsOpen());
    }

    // Writes `command` and reads as many bytes as `expected` holds (or 1 s passes).
    std::string Exchange(const std::string& command, const std::string& expected) {
        port_->Write(command);
        return port_->Read(expected.size(), 1s);
    }

    // True when nothing comes back within `limit`.
    bool Silent(std::chrono::milliseconds limit = 150ms) { return port_->Read(1, limit).empty(); }

    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<Port> port_;
};

struct ModemExchange {
    const char* sent;
    const char* back;
};

TEST_F(SwipetypeSimModemTest, AnswersCommandsWithEchoAndResultCodes) {
    Start({"--quiet"});
    const ModemExchange exchanges[] = {
        {"AT\r", "AT\r\r\nOK\r\n"},
        {"at e1 v1\r", "at e1 v1\r\r\nOK\r\n"},
        {"noise AT\r", "noise AT\r\r\nOK\r\n"},
        {"ATJ\r", "ATJ\r\r\nERROR\r\n"},
        {"ATE2\r", "ATE2\r\r\nERROR\r\n"},
        {"ATS7=45S7?\r", "ATS7=45S7?\r\r\n045\r\n\r\nOK\r\n"},
        {"ATX\bM1L2\r", "ATX\bM1L2\r\r\nOK\r\n"}, // the backspace takes the X back
        {"ATE0\r", "ATE0\r\r\nOK\r\n"},
        {"AT\r", "\r\nOK\r\n"},
        {"ATV0\r", "0\r"},
        {"ATJ\r", "4\r"},
        {"ATV1Q1\r", ""},
        {"ATQ0\r", "\r\nOK\r\n"},
        {"ATZ\r", "\r\nOK\r\n"},
        {"AT\r", "AT\r\r\nOK\r\n"}, // ATZ turned the echo back on
    };
    for (const ModemExchange& exchange : exchanges) {
        EXPECT_EQ(Exchange(exchange.sent, exchange.back), exchange.back) << exchange.sent;
    }
    EXPECT_TRUE(Silent());
}

struct DialCase {
    std::vector<std::string> arguments;
    const char* dial;
    const char* result;
};

TEST_F(SwipetypeSimModemTest, DialsEndAsTheCommandLineSays) {
    const DialCase cases[] = {
        {{"--speed", "9600"}, "ATDT123\r", "\r\nCONNECT 9600\r\n"},
        {{"--carrier", "28800", "--speed", "9600"},
         "ATDP123\r",
         "\r\nCARRIER 28800\r\n\r\nCONNECT 9600\r\n"},
        {{}, "ATD5\r", "\r\nCONNECT 19200\r\n"}, // the line's rate
        {{"--speed", "none"}, "ATDT5\r", "\r\nCONNECT\r\n"},
        {{"--dial-result", "busy"}, "ATDT5\r", "\r\nBUSY\r\n"},
        {{"--dial-result", "no-dialtone"}, "ATDT5\r", "\r\nNO DIALTONE\r\n"},
        {{"--dial-result", "no-carrier"}, "ATDT5\r", "\r\nNO CARRIER\r\n"},
    };
    for (const DialCase& dial : cases) {
        std::vector<std::string> arguments = dial.arguments;
        arguments.push_back("--quiet");
        Start(arguments);
        std::string expected = std::string(dial.dial) + dial.result;
        EXPECT_EQ(Exchange(dial.dial, expected), expected) << dial.result;
    }
}

TEST_F(SwipetypeSimModemTest, ASilentDialIsAbortedByAnyByte) {
    Start({"--quiet", "--dial-result", "silent"});
    EXPECT_EQ(Exchange("ATDT1\r", "ATDT1\r"), "ATDT1\r");
    EXPECT_TRUE(Silent(300ms));
    EXPECT_EQ(Exchange("x", "\r\nNO CARRIER\r\n"), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(Exchange("AT\r", "AT\r\r\nOK\r\n"), "AT\r\r\nOK\r\n");
}

TEST_F(SwipetypeSimModemTest, TheEscapeNeedsItsGuardTimes) {
    Start({"--quiet", "--guard-time", "200", "--speed", "9600"});
    EXPECT_EQ(Exchange("ATDT1\r", "ATDT1\r\r\nCONNECT 9600\r\n"), "ATDT1\r\r\nCONNECT 9600\r\n");
    // Online, commands are data: no echo, no answer.
    port_->Write("AT\r");
    EXPECT_TRUE(Silent(300ms));
    // No silence before it: data.
    port_->Write("data+++");
    EXPECT_TRUE(Silent(400ms));
    // Silence before, but a byte within the guard time after it: data.
    port_->Write("+++");
    usleep(50000);
    port_->Write("x");
    EXPECT_TRUE(Silent(400ms));
    // Silence before and after: OK, a guard time after the third "+".
    auto sent = SteadyClock::now();
    port_->Write("+++");
    SteadyClock::time_point first;
    EXPECT_EQ(port_->Read(6, 1s, &first), "\r\nOK\r\n");
    EXPECT_GE(first - sent, 190ms);
    // In the command state with the call up: ATO goes back online, ATH hangs up.
    EXPECT_EQ(Exchange("ATO\r", "ATO\r\r\nCONNECT 9600\r\n"), "ATO\r\r\nCONNECT 9600\r\n");
    usleep(250000);
    EXPECT_EQ(port_->Read(1, 10ms), "");
    port_->Write("+++");
    EXPECT_EQ(port_->Read(6, 1s), "\r\nOK\r\n");
    EXPECT_EQ(Exchange("ATD1\r", "ATD1\r\r\nERROR\r\n"), "ATD1\r\r\nERROR\r\n");
    EXPECT_EQ(Exchange("ATH\r", "ATH\r\r\nOK\r\n"), "ATH\r\r\nOK\r\n");
    EXPECT_EQ(Exchange("ATO\r", "ATO\r\r\nNO CARRIER\r\n"), "ATO\r\r\nNO CARRIER\r\n");
}

TEST_F(SwipetypeSimModemTest, InputLinesSetTheNextResultAndActForTheFarEnd) {
    Start({"--speed", "2400"});
    ASSERT_TRUE(sim_->ReadErrorLine(2s).has_value()); // "modem ready"
    ASSERT_TRUE(sim_->Send("busy\n"));
    ASSERT_TRUE(sim_->ReadErrorLine(2s).has_value());
    EXPECT_EQ(Exchange("ATDT1\r", "ATDT1\r\r\nBUSY\r\n"), "ATDT1\r\r\nBUSY\r\n");
    ASSERT_TRUE(sim_->Send("connect 1200\n"));
    EXPECT_EQ(Exchange("ATDT1\r", "ATDT1\r\r\nCONNECT 1200\r\n"), "ATDT1\r\r\nCONNECT 1200\r\n");
    ASSERT_TRUE(sim_->Send("data hello\n"));
    EXPECT_EQ(port_->Read(6, 1s), "hello\r");
    ASSERT_TRUE(sim_->Send("hangup\n"));
    EXPECT_EQ(port_->Read(14, 1s), "\r\nNO CARRIER\r\n");
    ASSERT_TRUE(sim_->Send("ring\n"));
    EXPECT_TRUE(sim_->Reports("not understood: \"ring\""));
}

} // namespace
