// A device that sends lines (a barcode scanner) as COM1:, read by the real program:
// each framing and end, bursts, bad reads, a cut line, and a German X keyboard.
#include <memory>

#include "e2e/program_fixture.h"
#include "res/resource_ids.h"
#include "settings/setting_catalog.h"
#include "support/scoped_environment.h"
#include "support/serial_pty_pair.h"
#include "support/x_test_display.h"

namespace e2e {
namespace {

// The settings of SettingsHive with the line device's: reading on, prefix P, ENTER.
std::string LineHive(const std::string& format, const std::string& end,
                     const std::string& prefix = "P") {
    return SettingsHive(1, 1, prefix) + "\"UseLine\"=dword:00000001\n\"LineFormat\"=\"" + format +
           "\"\n\"LineEnd\"=\"" + end + "\"\n";
}

// A 13-digit code for each read.
std::string Code(int read) {
    return std::to_string(4006381300000LL + read * 7919LL);
}

class LineDeviceTest : public ProgramTest {
  protected:
    std::size_t LineReads(bool good) {
        return Count(ReadFile(log_),
                     std::string(R"("reader":"line","good":)") + (good ? "true" : "false"));
    }
};

// Every framing the catalogue offers at 9600 baud with each end; the sim puts a
// 7-bit device's parity bit where an 8-bit reader would take it for data.
TEST_F(LineDeviceTest, EveryEndTypesEachLineOfABurstWholeAndInOrder) {
    struct Row {
        const char* format;
        const char* end;
        int burst;
    };
    ASSERT_EQ(std::size(kLineEnds), 4u);
    for (const Row& row : {Row{"8N1", kLineEnds[0], 2}, Row{"8N1", kLineEnds[1], 2},
                           Row{"7E1", kLineEnds[2], 2}, Row{"7E1", kLineEnds[3], 50}}) {
        SCOPED_TRACE(std::string(row.format) + " " + row.end);
        WriteHive(LineHive(row.format, row.end));
        StartSimulator("line", {"--format", row.format, "--end", row.end, "--burst",
                                std::to_string(row.burst)});
        StartProgram();
        std::string input;
        std::string expected;
        for (int read = 0; read < row.burst; ++read) {
            input += Code(read) + "\n";
            expected += "P" + Code(read) + "\r";
        }
        sim_.Write(input);
        EXPECT_TRUE(WaitUntil([&] { return program_.Output() == expected; }, 5s))
            << program_.Output() << sim_.Errors();
        Terminate();
        sim_.Stop(0ms);
    }
}

// Bytes that are not text, a line too long and a line the device's going away
// cut off are counted as bad and never typed; GS between fields is a space.
TEST_F(LineDeviceTest, BadLinesAreCountedNeverTypedAndTheNextLineReads) {
    serialtest::PtyPair line;
    ASSERT_TRUE(line.Ready());
    device_ = line.Path();
    WriteHive(LineHive("7E1", "ETX", ""));
    StartProgram();
    // A pseudo-terminal keeps 8 bits without parity whatever is set; the rate it keeps.
    termios settings = line.Settings();
    EXPECT_EQ(cfgetispeed(&settings), B9600);
    line.Send("\x02GOOD1\x03\x02"
              "AB\x01"
              "CD\x03\x02\x81\x81\x03\x02" +
              std::string(1100, 'X') +
              "\x03\x02\x1D"
              "0104012345678901\x1D"
              "17ABC\x1D\x03"
              "\r\n\x02GOOD2\x03\x02PART");
    const std::string typed = "GOOD1\r0104012345678901 17ABC\rGOOD2\r";
    EXPECT_TRUE(WaitUntil([&] { return program_.Output() == typed; }, 5s)) << program_.Output();
    EXPECT_EQ(LineReads(false), 3u);
    line.CloseMaster();
    EXPECT_TRUE(WaitUntil([&] { return LineReads(false) == 4u; }, 5s)) << ReadFile(log_);
    EXPECT_EQ(LineReads(true), 3u);
    EXPECT_EQ(program_.Output(), typed);
}

// swipetype-config chooses the input type as a click would, and a new end
// applies to the reader that runs at once.
TEST_F(LineDeviceTest, ConfigSwitchesToTheLineReaderAndItsEndAppliesAtOnce) {
    WriteHive(SettingsHive(1, 1, "P"));
    StartSimulator("line", {"--end", "LF"});
    StartProgram();
    ASSERT_EQ(Config({"set", "UseLine", "on"}).status, 0);
    EXPECT_EQ(Send({"--control", std::to_string(IDC_INPUT_LINE), "BM_GETCHECK"}).out, "1\n");
    ASSERT_EQ(Config({"set", "LineEnd", "lf"}).status, 0);
    sim_.Write(Code(1) + "\n");
    EXPECT_TRUE(WaitUntil([&] { return program_.Output() == "P" + Code(1) + "\r"; }, 5s))
        << program_.Output() << program_.Errors() << sim_.Errors();
    EXPECT_EQ(Config({"get", "LineEnd"}).out, "LF\n");
}

TEST_F(LineDeviceTest, ALineReachesAGermanXApplicationInTheCodePage) {
    std::string reason;
    const x_test::XvfbServer* server = x_test::SharedXvfb(reason);
    if (server == nullptr) {
        GTEST_SKIP() << reason;
    }
    ASSERT_TRUE(x_test::SetServerLayout(server->Name(), "de"));
    x_test::TextWindow window;
    ASSERT_TRUE(window.Open(server->Name(), reason)) << reason;
    test_support::ScopedEnvironment display("DISPLAY", server->Name().c_str());
    WriteHive(LineHive("8N1", "CRLF", "@"));
    StartSimulator("line", {"--end", "CRLF"});
    keys_ = "xtest";
    StartProgram();
    sim_.Write("Gr\xF6\xDF"
               "e Z\\{\xE4}\x80\n");
    std::u32string expected = U"@Größe Z\\{ä}€\r";
    EXPECT_EQ(window.Take(expected.size(), 5s), expected);
    Terminate();
}

} // namespace
} // namespace e2e
