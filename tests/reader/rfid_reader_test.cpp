#include <cstring>
#include <string>
#include <vector>

#include "platform/serial/comm.h"
#include "reader_fixture.h"
#include "support/param_name.h"

namespace {

using platform::CommCall;
using platform::Milliseconds;

const DWORD kTick = DefaultSettings().RFIDInterval;

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int value : values) {
        bytes += static_cast<char>(value);
    }
    return bytes;
}

const std::string kRequest = Bytes({0xBA, 0x02, 0x01, 0xB9});
const std::string kShortTagReply = Bytes({0xBD, 0x08, 0x01, 0x00, 0x0A, 0x1B, 0xC2, 0x03, 0x64});
const std::string kLongTagReply =
    Bytes({0xBD, 0x0B, 0x01, 0x00, 0x04, 0xA1, 0x22, 0x6B, 0x1C, 0x5F, 0x80, 0x00});

class RfidReaderTest : public reader_test::ReaderTest {
  protected:
    // One tick with `reply` waiting when it comes.
    void TickWith(const std::string& reply) {
        device_->QueueInput(reply);
        RunFor(kTick);
    }
};

TEST_F(RfidReaderTest, StartsOnComOneAt19200BaudAndRequestsAtEveryTick) {
    ASSERT_EQ(StartRFIDReader(window_), 1);
    EXPECT_EQ(RFIDActive, 1);
    EXPECT_EQ(device_->Settings().BaudRate, 19200u);
    EXPECT_EQ(device_->Settings().ByteSize, 8);
    RunFor(3 * kTick);
    EXPECT_EQ(device_->Output(), kRequest + kRequest + kRequest);
    EXPECT_TRUE(platform::Recorded().keys.empty());
}

TEST_F(RfidReaderTest, TheFirstTickCannotSeeItsOwnAnswerAndTheSecondTypesIt) {
    ASSERT_EQ(StartRFIDReader(window_), 1);
    // A reader that answers 1 ms after the first request.
    ArriveIn(kTick + 1, kShortTagReply);
    RunFor(kTick);
    EXPECT_EQ(device_->Output(), kRequest);
    EXPECT_EQ(Typed(), "");
    RunFor(kTick);
    EXPECT_EQ(Typed(), " A1BC2 3");
    EXPECT_EQ(ReadCount, 9);
}

TEST_F(RfidReaderTest, TypesTheFourAndSevenByteExamplesWithTheirLeadingSpace) {
    ASSERT_EQ(StartRFIDReader(window_), 1);
    TickWith(kShortTagReply);
    EXPECT_STREQ(TagText, " A1BC2 3");
    TickWith(kLongTagReply);
    EXPECT_STREQ(TagText, " 4A1226B1C5F80");
    EXPECT_EQ(Typed(), " A1BC2 3 4A1226B1C5F80");
}

TEST_F(RfidReaderTest, ATagLeftAtTheReaderIsTypedAtEveryTick) {
    ASSERT_EQ(StartRFIDReader(window_), 1);
    TickWith(kShortTagReply);
    TickWith(Bytes({0xBD, 0x08, 0x01, 0x00, 0xDE, 0xAD, 0x00, 0x7F, 0x00}));
    TickWith(kShortTagReply);
    EXPECT_EQ(Typed(), " A1BC2 3DEAD 07F A1BC2 3");
}

struct LengthCase {
    int length;
    const char* tag;
};

class RfidLengthTest : public RfidReaderTest, public testing::WithParamInterface<LengthCase> {};

TEST_P(RfidLengthTest, TheLengthByteChoosesTheForm) {
    ASSERT_EQ(StartRFIDReader(window_), 1);
    TickWith(Bytes(
        {0xBD, GetParam().length, 0x01, 0x00, 0x0A, 0x1B, 0xC2, 0x03, 0xFF, 0x01, 0x02, 0x03}));
    EXPECT_STREQ(TagText, GetParam().tag);
    EXPECT_EQ(Typed(), GetParam().tag);
}

INSTANTIATE_TEST_SUITE_P(Lengths, RfidLengthTest,
                         testing::Values(LengthCase{8, " A1BC2 3"}, LengthCase{9, " A1BC2 3"},
                                         LengthCase{10, " A1BC2 3"},
                                         LengthCase{11, " A1BC2 3FF 1 2"},
                                         LengthCase{12, " A1BC2 3"}, LengthCase{255, " A1BC2 3"}),
                         [](const testing::TestParamInfo<LengthCase>& info) {
                             return testsupport::ParamName("length", info.param.length);
                         });

TEST_F(RfidReaderTest, ALengthByteOfSevenOrLessClearsTheTagText) {
    ASSERT_EQ(StartRFIDReader(window_), 1);
    for (int length : {7, 0}) {
        TickWith(Bytes({0xBD, length, 0x01, 0x00, 0x0A, 0x1B, 0xC2, 0x03, 0x00}));
        EXPECT_EQ(std::memcmp(TagText, std::string(kTagTextSize, '\0').data(), kTagTextSize), 0);
    }
    EXPECT_TRUE(platform::Recorded().keys.empty());
    EXPECT_TRUE(platform::Recorded().beeps.empty());
}

TEST_F(RfidReaderTest, AFailedStatusTypesNothingAndKeepsTheReplyBytes) {
    Settings.Beep = 1;
    ASSERT_EQ(StartRFIDReader(window_), 1);
    const std::string reply = Bytes({0xBD, 0x08, 0x01, 0x01, 0x0A, 0x1B, 0xC2, 0x03, 0x6F});
    TickWith(reply);
    EXPECT_EQ(std::string(TagText, reply.size()), reply);
    EXPECT_TRUE(platform::Recorded().keys.empty());
    EXPECT_TRUE(platform::Recorded().beeps.empty());
}

TEST_F(RfidReaderTest, ThreeWaitingBytesArePurged) {
    ASSERT_EQ(StartRFIDReader(window_), 1);
    ReadCount = 42;
    TickWith(Bytes({0xBD, 0x08, 0x01}));
    EXPECT_EQ(device_->InputWaiting(), 0u);
    EXPECT_EQ(ReadCount, 42);
    TickWith(Bytes({0x00, 0x0A, 0x1B, 0xC2}));
    EXPECT_EQ(ReadCount, 4);
    EXPECT_TRUE(platform::Recorded().keys.empty());
}

TEST_F(RfidReaderTest, AReplyCutShortOfItsTagIsRefused) {
    ASSERT_EQ(StartRFIDReader(window_), 1);
    TickWith(kLongTagReply);
    ASSERT_EQ(Typed(), " 4A1226B1C5F80");
    // The 4-byte form with two tag bytes missing: the bytes an earlier reply left
    // at those offsets must not be typed as this tag.
    const std::string shortReply = Bytes({0xBD, 0x08, 0x01, 0x00, 0x0A, 0x1B});
    TickWith(shortReply);
    EXPECT_EQ(ReadCount, 6);
    EXPECT_EQ(std::string(TagText, 6), shortReply);
    // The 7-byte form with one tag byte missing.
    const std::string cutLong = Bytes({0xBD, 0x0B, 0x01, 0x00, 0x04, 0xA1, 0x22, 0x6B, 0x1C, 0x5F});
    TickWith(cutLong);
    EXPECT_EQ(std::string(TagText, cutLong.size()), cutLong);
    EXPECT_EQ(Typed(), " 4A1226B1C5F80") << "nothing more was typed";
    // Exactly the whole tag number is enough; no check byte is needed.
    TickWith(Bytes({0xBD, 0x08, 0x01, 0x00, 0x0A, 0x1B, 0xC2, 0x03}));
    EXPECT_EQ(Typed(), " 4A1226B1C5F80 A1BC2 3");
}

TEST_F(RfidReaderTest, AWrongHeaderOrCommandTypesNothing) {
    ASSERT_EQ(StartRFIDReader(window_), 1);
    TickWith(Bytes({0xBE, 0x08, 0x01, 0x00, 0x0A, 0x1B, 0xC2, 0x03, 0x00}));
    TickWith(Bytes({0xBD, 0x08, 0x02, 0x00, 0x0A, 0x1B, 0xC2, 0x03, 0x00}));
    EXPECT_TRUE(platform::Recorded().keys.empty());
}

TEST_F(RfidReaderTest, StartingTwiceAndStoppingAreAsForTheMsrReader) {
    ASSERT_EQ(StartRFIDReader(window_), 1);
    EXPECT_EQ(StartRFIDReader(window_), 0);
    EXPECT_EQ(StopRFIDReader(window_), 0);
    EXPECT_EQ(StopRFIDReader(window_), 0);
    EXPECT_EQ(RFIDActive, 0);
    EXPECT_EQ(ReaderPort, 0);
    EXPECT_FALSE(device_->IsOpen());
    RunFor(3 * kTick);
    EXPECT_EQ(device_->Output(), "") << "no request after the stop";
}

TEST_F(RfidReaderTest, FailuresToOpenOrSetUpAreSaidEachTime) {
    device_->FailCall(CommCall::Open, ERROR_FILE_NOT_FOUND, 2);
    EXPECT_EQ(StartRFIDReader(window_), 0);
    EXPECT_EQ(ReaderPort, -7);
    EXPECT_EQ(StartRFIDReader(window_), 0);
    device_->FailCall(CommCall::SetState, ERROR_GEN_FAILURE, 1);
    EXPECT_EQ(StartRFIDReader(window_), 0);
    EXPECT_EQ(ReaderPort, 0);
    EXPECT_EQ(reader_test::ReaderDebugLines(),
              (std::vector<std::u16string>{u"Error -7 opening RFID serial port",
                                           u"Error -7 opening RFID serial port",
                                           u"Error 36 configuring RFID serial port"}));
    EXPECT_EQ(StartRFIDReader(window_), 1);
}

} // namespace
