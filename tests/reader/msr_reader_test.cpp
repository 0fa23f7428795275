#include <algorithm>
#include <string>

#include "platform/core/read_tally.h"
#include "platform/serial/comm.h"
#include "platform/windowing/messages.h"
#include "reader_fixture.h"

namespace {

using platform::CommCall;
using platform::Milliseconds;

const DWORD kTick = DefaultSettings().MSRInterval;
const std::string kSwipe = "%B0001^TEST/CARD^9912?;0001=9912?";
const std::string kTypedSwipe = "B0001^TEST/CARD^99120001=9912";

class MsrReaderTest : public reader_test::ReaderTest {
  protected:
    void SetUp() override {
        ReaderTest::SetUp();
        // Only tracks 1 and 2, so a good swipe types the two texts back to back.
        Settings.UseTrack3 = 0;
    }

    int CallsOf(CommCall call) const {
        const auto& calls = device_->Calls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }

    // A line of `length` characters: a track 2 that the decoder accepts.
    static std::string LongSwipe(std::size_t length) {
        std::string line = "%" + std::string(length - 13, 'A') + "?;123456789?";
        return line.substr(0, length);
    }
};

TEST_F(MsrReaderTest, StartsOnComOneAt9600BaudAndPollsEveryInterval) {
    ASSERT_EQ(StartMSRReader(window_), 1);
    EXPECT_EQ(MSRActive, 1);
    EXPECT_GE(ReaderPort, 0);
    EXPECT_TRUE(device_->IsOpen());
    EXPECT_EQ(device_->Settings().BaudRate, 9600u);
    EXPECT_EQ(device_->Settings().ByteSize, 8);
    EXPECT_EQ(device_->Settings().Parity, NOPARITY);
    EXPECT_EQ(device_->Settings().StopBits, ONESTOPBIT);
    device_->QueueInput(kSwipe + "\r");
    RunFor(kTick - 1);
    EXPECT_EQ(Typed(), "");
    RunFor(1);
    EXPECT_EQ(Typed(), kTypedSwipe);
}

TEST_F(MsrReaderTest, StartingPurgesWhatWaitedAndClearsTheBuffers) {
    std::fill(std::begin(RawLine), std::end(RawLine), 'x');
    device_->QueueInput(kSwipe + "\r");
    ReadCount = 9;
    ASSERT_EQ(StartMSRReader(window_), 1);
    EXPECT_EQ(ReadCount, 0);
    EXPECT_EQ(RawLine[0], '\0');
    EXPECT_EQ(device_->InputWaiting(), 0u);
    RunFor(3 * kTick);
    EXPECT_EQ(Typed(), "");
}

TEST_F(MsrReaderTest, FiveBytesReadNothingAndALineWithoutItsEndIsTakenAfterSilence) {
    Settings.UseTrack1 = 0;
    ASSERT_EQ(StartMSRReader(window_), 1);
    device_->QueueInput(";1234");
    RunFor(kTick);
    EXPECT_EQ(device_->InputWaiting(), 5u);
    device_->QueueInput("?");
    RunFor(kTick);
    EXPECT_EQ(device_->InputWaiting(), 0u);
    EXPECT_EQ(Typed(), "") << "held: the rest of the line may still come";
    EXPECT_EQ(ReadCount, 0);
    RunFor(kTick);
    EXPECT_EQ(Typed(), "") << "silent for less than 500 ms";
    RunFor(kTick);
    EXPECT_EQ(Typed(), "1234");
    EXPECT_EQ(ReadCount, 6);
}

TEST_F(MsrReaderTest, TwoSwipesQueuedBetweenTicksAreTypedAtTwoTicks) {
    ASSERT_EQ(StartMSRReader(window_), 1);
    device_->QueueInput(kSwipe + "\r\n%B0002^SECOND^0101?;0002=0101?\r\n");
    RunFor(kTick);
    EXPECT_EQ(Typed(), kTypedSwipe);
    RunFor(kTick);
    EXPECT_EQ(Typed(), kTypedSwipe + "B0002^SECOND^01010002=0101");
    std::size_t keys = platform::Recorded().keys.size();
    RunFor(3 * kTick);
    EXPECT_EQ(platform::Recorded().keys.size(), keys) << "nothing more is typed";
}

TEST_F(MsrReaderTest, AnUnreadableSelectedTrackBeepsAndTypesNothing) {
    Settings.Beep = 1;
    ASSERT_EQ(StartMSRReader(window_), 1);
    device_->QueueInput("%E?;0001=9912?\r");
    RunFor(kTick);
    EXPECT_TRUE(platform::Recorded().keys.empty());
    EXPECT_EQ(platform::Recorded().beeps, std::vector<UINT>{4});
}

TEST_F(MsrReaderTest, StartingTwiceOpensOnePortAndSetsOneTimer) {
    ASSERT_EQ(StartMSRReader(window_), 1);
    int port = ReaderPort;
    EXPECT_EQ(StartMSRReader(window_), 0);
    EXPECT_EQ(ReaderPort, port);
    EXPECT_EQ(CallsOf(CommCall::Open), 1);
    device_->QueueInput(kSwipe + "\r" + kSwipe + "\r");
    RunFor(kTick);
    EXPECT_EQ(Typed(), kTypedSwipe) << "one tick per period, not two";
}

TEST_F(MsrReaderTest, StoppingWhenNothingRunsOrTwiceIsHarmless) {
    EXPECT_EQ(StopMSRReader(window_), 0);
    EXPECT_EQ(ReaderPort, 0);
    ASSERT_EQ(StartMSRReader(window_), 1);
    EXPECT_EQ(StopMSRReader(window_), 0);
    EXPECT_EQ(StopMSRReader(window_), 0);
    EXPECT_EQ(MSRActive, 0);
    EXPECT_EQ(ReaderPort, 0);
    EXPECT_FALSE(device_->IsOpen());
    device_->QueueInput(kSwipe + "\r");
    RunFor(3 * kTick);
    EXPECT_EQ(Typed(), "");
    EXPECT_TRUE(reader_test::ReaderDebugLines().empty());
}

TEST_F(MsrReaderTest, StoppingTheMsrReaderWhileRfidRunsClosesTheSharedPort) {
    ASSERT_EQ(StartRFIDReader(window_), 1);
    ASSERT_TRUE(device_->IsOpen());
    EXPECT_EQ(StopMSRReader(window_), 0);
    EXPECT_FALSE(device_->IsOpen());
    EXPECT_EQ(ReaderPort, 0);
    // The RFID reader's flag and timer are its own; only the port went.
    EXPECT_EQ(RFIDActive, 1);
    RunFor(3 * kTick);
    EXPECT_TRUE(platform::Recorded().keys.empty());
}

TEST_F(MsrReaderTest, AFailedOpenOrSetupSaysSoAtEveryAttempt) {
    device_->FailCall(CommCall::Open, ERROR_FILE_NOT_FOUND, -1);
    EXPECT_EQ(StartMSRReader(window_), 0);
    EXPECT_EQ(MSRActive, 0);
    EXPECT_EQ(ReaderPort, -7);
    EXPECT_EQ(StartMSRReader(window_), 0);
    EXPECT_EQ(reader_test::ReaderDebugLines(),
              (std::vector<std::u16string>{u"Error -7 opening MSR serial port",
                                           u"Error -7 opening MSR serial port"}));
    // A stop after a failed open passes the code to the close, which finds no port.
    EXPECT_EQ(StopMSRReader(window_), 0);
    EXPECT_EQ(ReaderPort, 0);
    device_->ClearFailures();

    // A failed setup says so too, and closes the port.
    device_->FailCall(CommCall::SetState, ERROR_GEN_FAILURE, -1);
    EXPECT_EQ(StartMSRReader(window_), 0);
    EXPECT_EQ(MSRActive, 0);
    EXPECT_EQ(ReaderPort, 0);
    EXPECT_FALSE(device_->IsOpen());
    EXPECT_EQ(reader_test::ReaderDebugLines(),
              (std::vector<std::u16string>{u"Error -7 opening MSR serial port",
                                           u"Error -7 opening MSR serial port",
                                           u"Error 36 configuring MSR serial port"}));
    device_->ClearFailures();
    EXPECT_EQ(StartMSRReader(window_), 1);
}

TEST_F(MsrReaderTest, ATickWithNothingWaitingCostsOneStatusQueryAndNoPause) {
    ASSERT_EQ(StartMSRReader(window_), 1);
    device_->QueueInput(";1234");
    device_->ClearCalls();
    RunFor(kTick);
    EXPECT_EQ(device_->Calls(), std::vector<CommCall>{CommCall::ClearError});
    EXPECT_EQ(platform::ClockNow(), Milliseconds{kTick});
}

TEST_F(MsrReaderTest, OnlyLineTerminatorsWaitingTypeNothingAndDoNotHold) {
    ASSERT_EQ(StartMSRReader(window_), 1);
    device_->QueueInput(std::string("\r\n\r\n\r\n\0", 7));
    RunFor(kTick);
    EXPECT_TRUE(platform::Recorded().keys.empty());
    EXPECT_LT(platform::ClockNow(), Milliseconds{kTick + 100});
    device_->QueueInput(kSwipe + "\r");
    RunFor(kTick);
    EXPECT_EQ(Typed(), kTypedSwipe);
}

// A line longer than any card is no card: junk before a swipe (a reader at the
// wrong rate) and a track too long are dropped through their line ends, each with
// the bad-read beep, and the swipe after them is typed whole.
TEST_F(MsrReaderTest, ALineWithNoEndWithin1023BytesIsDroppedThroughItsEnd) {
    Settings.Beep = 1;
    platform::ReadTally before = platform::CurrentReadTally();
    ASSERT_EQ(StartMSRReader(window_), 1);
    device_->QueueInput(std::string(1010, '~') + kSwipe + "\r");
    device_->QueueInput("%" + std::string(1107, 'A') + "?;1?\r" + kSwipe + "\r");
    RunFor(8 * kTick);
    EXPECT_EQ(Typed(), kTypedSwipe);
    EXPECT_EQ(platform::Recorded().beeps, (std::vector<UINT>{4, 4, 0x40}));
    EXPECT_EQ(platform::CurrentReadTally().bad - before.bad, 2u) << "counted as bad reads";
}

// Fewer than 6 bytes are no read of their own, also when they came with a line.
TEST_F(MsrReaderTest, AShortTailAfterALineWaitsForMoreThroughTheSilence) {
    Settings.UseTrack1 = 0;
    Settings.Beep = 1;
    ASSERT_EQ(StartMSRReader(window_), 1);
    device_->QueueInput(";1?\rAB");
    RunFor(4 * kTick);
    EXPECT_EQ(Typed(), "1");
    EXPECT_EQ(platform::Recorded().beeps, std::vector<UINT>{0x40}) << "no bad read of AB";
}

TEST_F(MsrReaderTest, ASwipeIsTypedAtItsTickWhileBytesKeepTricklingInAfterIt) {
    Settings.MSRInterval = 100;
    ASSERT_EQ(StartMSRReader(window_), 1);
    ArriveIn(50, kSwipe + "\r");
    for (int byte = 0; byte < 100; ++byte) {
        ArriveIn(10, "~");
    }
    RunFor(100);
    EXPECT_EQ(Typed(), kTypedSwipe);
    EXPECT_EQ(platform::ClockNow(), Milliseconds{100}) << "the tick did not wait";
}

// A swipe whose bytes pause inside a track is typed whole once the rest comes,
// never as a cut part that reads good followed by a bad rest.
struct Pause {
    DWORD interval;
    DWORD pause;
};

class MsrPauseTest : public MsrReaderTest, public testing::WithParamInterface<Pause> {};

TEST_P(MsrPauseTest, ASwipePausingInsideATrackIsTypedWhole) {
    Settings.UseTrack1 = 0;
    Settings.Beep = 1;
    Settings.MSRInterval = GetParam().interval;
    ASSERT_EQ(StartMSRReader(window_), 1);
    ArriveIn(GetParam().interval / 2, ";4111111111");
    ArriveIn(GetParam().pause, "111111=2512?\r");
    RunFor(GetParam().interval * 3 + GetParam().pause);
    EXPECT_EQ(Typed(), "4111111111111111=2512");
    EXPECT_EQ(platform::Recorded().beeps, std::vector<UINT>{0x40}) << "one good read, no bad one";
}

INSTANTIATE_TEST_SUITE_P(Pauses, MsrPauseTest,
                         testing::Values(Pause{100, 100}, Pause{100, 250}, Pause{100, 400},
                                         Pause{kTick, 200}, Pause{kTick, 400}),
                         [](const testing::TestParamInfo<Pause>& info) {
                             return "poll_" + std::to_string(info.param.interval) + "_pause_" +
                                    std::to_string(info.param.pause);
                         });

} // namespace
