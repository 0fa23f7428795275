// The modem command layer on the in-memory device and the manual clock. A small
// modem stands at the far end: it runs in the port's wait hook, so at every wait
// step it moves the clock one millisecond and answers the command lines the
// library wrote since the step before. Replies that need no modem (call results,
// digits) are queued on the device directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bio/bio.h"
#include "platform/core/system.h"
#include "platform/windowing/dialogs.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"
#include "tests/bio/bio_fixture.h"

namespace {

using namespace std::chrono_literals;
using platform::MemorySerialDevice;
using platform::Milliseconds;

// The modem at the far end of COM1:. Each step moves the clock one
// millisecond and answers the command lines (CR-terminated; "+++" is heard as a
// line of its own) written since the step before: echo, then the result the
// test gave for the line, if any. In data mode lines go unanswered and only the
// escape is heard, answered with "OK" (the guard times are the simulator's business).
struct TestModem {
    MemorySerialDevice* device = nullptr;
    int portId = -1;
    std::map<std::string, std::string> answers; // line as written, without CR -> result
    bool echo = true;
    bool dataMode = false;
    std::vector<std::string> heard;
    std::vector<Milliseconds> heardAt;
    std::vector<int> timeoutSettingHeard; // the port's timeout setting at each line
    std::size_t seen = 0;
    std::string pending;

    void Step() {
        platform::AdvanceManualClock(1ms);
        pending += device->Output().substr(seen);
        seen = device->Output().size();
        for (;;) {
            std::size_t end = pending.starts_with("+++") ? 3 : pending.find('\r');
            if (end == std::string::npos) {
                return;
            }
            std::string line = pending.substr(0, end);
            pending.erase(0, line == "+++" ? 3 : end + 1);
            heard.push_back(line);
            heardAt.push_back(platform::ClockNow());
            timeoutSettingHeard.push_back(bio_get_timeout(portId));
            Answer(line);
        }
    }

    void Answer(const std::string& line) {
        if (dataMode) {
            if (line == "+++") {
                dataMode = false;
                device->QueueInput("\r\nOK\r\n");
            }
            return;
        }
        if (echo && line != "+++") {
            device->QueueInput(line + "\r");
        }
        if (auto found = answers.find(line); found != answers.end()) {
            device->QueueInput("\r\n" + found->second + "\r\n");
        }
    }
};

TestModem* CurrentModem = nullptr;

int ModemHook(int) {
    CurrentModem->Step();
    return 0;
}

class BioModemTest : public biotest::BioTest {
  protected:
    void SetUp() override {
        BioTest::SetUp();
        CurrentModem = &modem_;
        modem_.device = &Device(1);
    }

    // COM1: at 19200 baud with the far-end modem in its wait hook; the modem
    // answers "AT" alone with OK unless the test says otherwise.
    int OpenModemPort() {
        int id = OpenReaderPort(19200);
        EXPECT_EQ(bio_set_waithook(id, ModemHook), 0);
        modem_.portId = id;
        modem_.answers["AT"] = "OK";
        return id;
    }

    // COM1: with a modem that answers no command.
    int OpenQuietModemPort() {
        int id = OpenModemPort();
        modem_.answers.clear();
        return id;
    }

    // Starts the line's output afresh, for the modem too.
    void ForgetOutput() {
        Device(1).ClearOutput();
        modem_.seen = 0;
    }

    TestModem modem_;
};

// --- Reply matching -----------------------------------------------------------

struct MatchCase {
    const char* name;
    std::vector<const char*> replies;
    std::string stream;
    int index;
    int leftOver;
};

TEST_F(BioModemTest, TheFirstEqualReplyInListOrderWins) {
    const MatchCase cases[] = {
        {"OK after an echoed command, nothing after its K read", {"OK"}, "AT\r\r\nOK\r\n", 0, 2},
        {"second of two", {"OK", "ERROR"}, "junk\r\nERROR\r\n", 1, 2},
        {"the first reply to arrive, not the first listed", {"OK", "NO"}, "NOT OK", 1, 4},
        {"a shorter reply at the tail of a longer one, listed first",
         {"CARRIER", "NO CARRIER"},
         "NO CARRIER",
         0,
         0},
        {"longer listed first", {"NO CARRIER", "CARRIER"}, "NO CARRIER", 0, 0},
        {"the reply arrives in the middle of a burst", {"RING"}, "xxRINGyy", 0, 2},
        {"an empty reply matches at the first byte", {"OK", ""}, "Zebra", 1, 4},
        {"a reply as long as the window", {"CONNECT"}, "CONNECT", 0, 0},
    };
    int id = OpenQuietModemPort();
    for (const MatchCase& match : cases) {
        bio_purge_input(id);
        Device(1).QueueInput(match.stream);
        std::vector<const char*> replies = match.replies;
        replies.push_back(nullptr);
        EXPECT_EQ(bio_wait_response(id, 55, "", replies.data()), match.index) << match.name;
        EXPECT_EQ(bio_get_inputcount(id), match.leftOver) << match.name;
    }
}

TEST_F(BioModemTest, ARunOutTimeLimitGivesMinus53AfterTheLimit) {
    int id = OpenModemPort();
    Milliseconds start = Now();
    EXPECT_EQ(bio_wait_string(id, 40, "", "OK"), -BIO_WAIT_ENDED);
    EXPECT_EQ(Now() - start, 40ms);

    bio_set_timerresolution(10);
    start = Now();
    EXPECT_EQ(bio_wait_string(id, 4, "", "OK"), -BIO_WAIT_ENDED);
    EXPECT_EQ(Now() - start, 40ms);
}

// An empty list is refused before anything is written; no open port, a text only
// partly written and a failed write come back as their codes, nothing heard.
TEST_F(BioModemTest, EmptyListsAndWriteFailuresComeBackAsTheirCodes) {
    const char* none[] = {nullptr};
    const char* allEmpty[] = {"", "", nullptr};
    const char* ok[] = {"OK", nullptr};
    int id = OpenModemPort();
    EXPECT_EQ(bio_wait_response(id, 55, "ATZ\r", none), -BIO_BAD_ARGUMENT);
    EXPECT_EQ(bio_wait_response(id, 55, "ATZ\r", allEmpty), -BIO_BAD_ARGUMENT);
    EXPECT_EQ(bio_wait_response(id, 55, "ATZ\r", nullptr), -BIO_BAD_ARGUMENT);
    EXPECT_EQ(bio_wait_string(id, 55, "ATZ\r", ""), -BIO_BAD_ARGUMENT);
    EXPECT_EQ(bio_wait_string(id, 55, "ATZ\r", nullptr), -BIO_BAD_ARGUMENT);
    EXPECT_TRUE(Device(1).Output().empty());
    EXPECT_EQ(bio_wait_response(3, 55, "ATZ\r", none), -BIO_BAD_ARGUMENT);
    EXPECT_EQ(bio_wait_response(2, 55, "AT\r", ok), -BIO_NO_PORT);
    EXPECT_EQ(bio_wait_string(-1, 55, "AT\r", "OK"), -BIO_NO_PORT);
    Device(1).LimitOutput(2);
    EXPECT_EQ(bio_wait_response(id, 55, "ATZ\r", ok), -BIO_WRITE_INCOMPLETE);
    EXPECT_EQ(bio_wait_string(id, 55, "ATZ\r", "OK"), -BIO_WRITE_INCOMPLETE);
    Device(1).UnlimitOutput();
    Device(1).FailCall(platform::CommCall::Write, ERROR_GEN_FAILURE);
    EXPECT_EQ(bio_wait_string(id, 55, "ATZ\r", "OK"), -BIO_IO_FAILED);
    EXPECT_TRUE(modem_.heard.empty());
}

TEST_F(BioModemTest, AnErrorIsNoOkButTheNextTryMaySucceed) {
    int id = OpenModemPort();
    modem_.answers["ATX4"] = "ERROR";
    EXPECT_EQ(bio_send_command(id, "X4"), BIO_NO_COMMAND_OK);
    // The first try's echo and ERROR are purged before the second try.
    modem_.answers["ATX4"] = "OK";
    EXPECT_EQ(bio_send_command(id, "X4"), 0);
    EXPECT_EQ(bio_send_command(2, "X4"), BIO_NO_PORT);
    EXPECT_EQ(bio_send_command(-1, "X4"), BIO_NO_PORT);
}

TEST_F(BioModemTest, AttentionEscapesFromDataModeWithTheEscapeTimeout) {
    int id = OpenModemPort();
    modem_.dataMode = true;
    bio_set_timeout(id, 7);
    EXPECT_EQ(bio_reset_modem(id), 0);
    EXPECT_EQ(Device(1).Output(), "AT\rAT\rAT\r+++");
    ASSERT_EQ(modem_.heard.size(), 4u);
    EXPECT_EQ(modem_.heard[3], "+++");
    EXPECT_EQ(modem_.timeoutSettingHeard[3], 110);
    EXPECT_EQ(modem_.timeoutSettingHeard[0], 7);
    EXPECT_EQ(bio_get_timeout(id), 7);
    // The escape came after the last try's full reply time of silence.
    EXPECT_EQ(modem_.heardAt[3] - modem_.heardAt[2], 55ms);
}

TEST_F(BioModemTest, AttentionTurnsResultCodesBackOnOrGivesUpAfterThreePasses) {
    int id = OpenModemPort();
    // A modem told to keep quiet (ATQ1) answers nothing until Q0 is in force.
    modem_.answers.clear();
    modem_.answers["ATV1Q0"] = "OK";
    EXPECT_EQ(bio_reset_modem(id), 0);
    EXPECT_EQ(Device(1).Output(), "AT\rAT\rAT\r+++ATV1Q0\r");

    // Without it the attention gives up after three passes.
    modem_.answers.clear();
    ForgetOutput();
    bio_set_timeout(id, 7);
    EXPECT_EQ(bio_reset_modem(id), BIO_NO_ATTENTION);
    std::string pass = "AT\rAT\rAT\r+++ATV1Q0\rATV1Q0\rATV1Q0\r";
    EXPECT_EQ(Device(1).Output(), pass + pass + pass);
    EXPECT_EQ(bio_get_timeout(id), 7);
    EXPECT_EQ(bio_reset_modem(3), BIO_NO_PORT);
}

// --- Dialling -----------------------------------------------------------------

TEST_F(BioModemTest, ToneAndPulseDialsSendTheirCommandsOnceTheModemAttends) {
    struct {
        int tone;
        const char* sent;
    } const dials[] = {{1, "AT\rATDT123\r"}, {0, "AT\rATDP123\r"}, {-4, "AT\rATDT123\r"}};
    int id = OpenModemPort();
    for (const auto& dial : dials) {
        ForgetOutput();
        bio_set_timeout(id, 9);
        Milliseconds start = Now();
        EXPECT_EQ(bio_dial_number(id, dial.tone, "123"), 0);
        EXPECT_EQ(Device(1).Output(), dial.sent);
        EXPECT_EQ(bio_get_timeout(id), 9);
        // The attention (220 ms of DTR and one step for the OK), then twice 55.
        EXPECT_EQ(Now() - start, 221ms + 110ms);
    }
    // No dial without the modem's attention.
    modem_.answers.clear();
    ForgetOutput();
    EXPECT_EQ(bio_dial_number(id, 1, "123"), BIO_NO_ATTENTION);
    EXPECT_EQ(Device(1).Output().find("ATDT"), std::string::npos);
    EXPECT_EQ(bio_dial_number(1, 1, "123"), BIO_NO_PORT);
}

// --- The call result ----------------------------------------------------------

struct CallCase {
    const char* name;
    std::string stream;
    int result;
    int carrierSpeed;
    int connectSpeed;
    std::string leftOver; // what stays in the port for the caller
};

TEST_F(BioModemTest, CallResults) {
    const CallCase cases[] = {
        {"connect with a speed", "\r\nCONNECT 9600\r\n", 0, 9600, 9600, ""},
        {"carrier, then connect", "\r\nCARRIER 28800\r\n\r\nCONNECT 9600\r\n", 0, 28800, 9600, ""},
        {"carrier alone", "\r\nCARRIER 2400\r\n", 0, 2400, 2400, ""},
        {"connect without a speed", "\r\nCONNECT\r\n", 0, 19200, 19200, ""},
        {"a speed too long for an int", "\r\nCONNECT 99999999999\r\n", 0, INT_MAX, INT_MAX, ""},
        {"the rest of the connect line", "\r\nCONNECT 9600/ARQ\r\nhi", 0, 9600, 9600, "hi"},
        {"a connect line ended by CR alone", "\r\nCONNECT 9600\rhi", 0, 9600, 9600, "hi"},
        {"busy", "\r\nBUSY\r\n", BIO_LINE_BUSY, 19200, 19200, "\r\n"},
        {"no dial tone", "\r\nNO DIALTONE\r\n", BIO_NO_DIALTONE, 19200, 19200, "\r\n"},
        {"no carrier", "\r\nNO CARRIER\r\n", BIO_NO_CARRIER, 19200, 19200, "\r\n"},
        {"carrier, then the call drops", "\r\nCARRIER 9600\r\n\r\nNO CARRIER\r\n", 59, 9600, 9600,
         "\r\n"},
        // After the connect line the line carries the far end's data, whatever it says.
        {"a greeting after connect", "\r\nCONNECT 38400\r\nWelcome, caller\r\n", 0, 38400, 38400,
         "Welcome, caller\r\n"},
        {"far-end digits are no speed", "\r\nCONNECT\r\n5551234\r\n", 0, 19200, 19200,
         "5551234\r\n"},
        {"a hang-up after connect", "\r\nCONNECT\r\n\r\nNO CARRIER\r\n", 0, 19200, 19200,
         "\r\nNO CARRIER\r\n"},
        {"echo and noise first", "ATDT5551234\r\r\nRING\r\n\r\nCONNECT 1200\r\n", 0, 1200, 1200,
         ""},
    };
    int id = OpenQuietModemPort();
    for (const CallCase& call : cases) {
        bio_purge_input(id);
        Device(1).QueueInput(call.stream);
        EXPECT_EQ(bio_wait_connect(id), call.result) << call.name;
        EXPECT_EQ(bio_get_carrierspeed(id), call.carrierSpeed) << call.name;
        EXPECT_EQ(bio_get_connectspeed(id), call.connectSpeed) << call.name;
        char left[64] = {};
        int count = bio_read_bytes(id, sizeof left, left);
        EXPECT_EQ(std::string(left, static_cast<std::size_t>(std::max(count, 0))), call.leftOver)
            << call.name;
    }
}

TEST_F(BioModemTest, SilenceAfterDiallingOrACancelGives36) {
    int id = OpenQuietModemPort();
    Milliseconds start = Now();
    EXPECT_EQ(bio_wait_connect(id), BIO_NO_CALL_RESULT);
    EXPECT_EQ(Now() - start, 30000ms);
    EXPECT_EQ(bio_get_connectspeed(id), 19200);

    ASSERT_EQ(bio_set_modemvalue(id, 3, 100), 0);
    start = Now();
    EXPECT_EQ(bio_wait_connect(id), BIO_NO_CALL_RESULT);
    EXPECT_EQ(Now() - start, 100ms);
    EXPECT_EQ(bio_wait_connect(3), BIO_NO_PORT);

    // A cancel ends the wait at once, the same way.
    PostMessageW(nullptr, WM_COMMAND, IDCANCEL, 0);
    start = Now();
    EXPECT_EQ(bio_wait_connect(id), BIO_NO_CALL_RESULT);
    EXPECT_LT(Now() - start, 100ms);
    EXPECT_FALSE(QueueHoldsAMessage());
}

// --- Digits -------------------------------------------------------------------

struct DigitCase {
    const char* name;
    std::string stream;
    int size;
    const char* digits;
    int leftOver;
};

TEST_F(BioModemTest, DigitsAreReadUpToTheFirstOtherByte) {
    const DigitCase cases[] = {
        {"after a space", " 9600\rX", 12, "9600", 1},
        {"line ends before the first digit", "\r\n007\r\n", 12, "007", 1},
        {"other bytes first", "abc42x1", 12, "42", 1},
        {"the buffer limits the run", "12345", 3, "12", 2},
        {"size 1 drops the first digit", "789", 1, "", 2},
        {"a zero byte ends the run",
         std::string("56\0"
                     "7",
                     4),
         12, "56", 1},
    };
    int id = OpenQuietModemPort();
    for (const DigitCase& digits : cases) {
        bio_purge_input(id);
        Device(1).QueueInput(digits.stream);
        char buffer[16];
        std::memset(buffer, 0x55, sizeof buffer);
        EXPECT_EQ(bio_read_digits(id, digits.size, buffer), 0) << digits.name;
        EXPECT_STREQ(buffer, digits.digits) << digits.name;
        EXPECT_EQ(bio_get_inputcount(id), digits.leftOver) << digits.name;
    }
}

} // namespace
