// How the MSR reader makes lines of the bytes that arrive, on the manual clock with
// a 100 ms poll: each case queues its bytes, then checks what was typed by given
// times, and the beeps (0x40 a good read, 4 a bad one), each read also counted as
// good or bad for the program's status.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/read_tally.h"
#include "reader_fixture.h"
#include "support/param_name.h"

namespace {

using platform::Milliseconds;

struct Arrival {
    DWORD after; // milliseconds after the bytes before
    std::string bytes;
};

struct Check {
    DWORD at; // milliseconds from the start
    std::string typed;
    int waiting = -1; // bytes left in the port's queue, when given
};

struct LineCase {
    const char* name;
    std::vector<Arrival> arrivals;
    std::vector<Check> checks;
    std::vector<UINT> beeps;
};

void PrintTo(const LineCase& line, std::ostream* out) {
    *out << line.name;
}

class MsrLineTest : public reader_test::ReaderTest, public testing::WithParamInterface<LineCase> {};

TEST_P(MsrLineTest, TypesWhatTheLinesSay) {
    Settings.MSRInterval = 100;
    Settings.UseTrack1 = 0; // a card is its track 2 alone
    Settings.UseTrack3 = 0;
    Settings.Beep = 1;
    platform::ReadTally before = platform::CurrentReadTally();
    ASSERT_EQ(StartMSRReader(readerWindow_), 1);
    for (const Arrival& arrival : GetParam().arrivals) {
        device_->QueuePause(Milliseconds{arrival.after});
        device_->QueueInput(arrival.bytes);
    }
    for (const Check& check : GetParam().checks) {
        RunFor(check.at - static_cast<DWORD>(platform::ClockNow().count()));
        EXPECT_EQ(Typed(), check.typed) << "by " << check.at << " ms";
        EXPECT_EQ(platform::ClockNow(), Milliseconds{check.at}) << "a tick held the loop";
        if (check.waiting >= 0) {
            EXPECT_EQ(device_->InputWaiting(), static_cast<std::size_t>(check.waiting));
        }
    }
    const std::vector<UINT>& beeps = GetParam().beeps;
    EXPECT_EQ(platform::Recorded().beeps, beeps);
    auto beepsOf = [&](UINT beep) {
        return static_cast<std::uint64_t>(std::count(beeps.begin(), beeps.end(), beep));
    };
    platform::ReadTally after = platform::CurrentReadTally();
    EXPECT_EQ(after.good - before.good, beepsOf(0x40)) << "good reads counted";
    EXPECT_EQ(after.bad - before.bad, beepsOf(4)) << "bad reads counted";
}

const std::string kLongNoise(1100, '~');

using MsrRestartTest = reader_test::ReaderTest;

INSTANTIATE_TEST_SUITE_P(
    Cases, MsrLineTest,
    testing::Values(
        LineCase{
            "TypedAtTheFirstTickAfterIt", {{50, ";1111?\r"}}, {{99, ""}, {100, "1111"}}, {0x40}},
        // Lines that queued up between ticks are taken one per tick.
        LineCase{"TwoLinesAtTwoTicks",
                 {{0, ";1111?\r\n;2222?\r\n"}},
                 {{100, "1111"}, {200, "11112222"}, {500, "11112222"}},
                 {0x40, 0x40}},
        // A line without its end is taken after 500 ms of silence when it ends on a
        // whole track.
        LineCase{"AnUnendedTrackAfterTheSilence",
                 {{0, ";1234"}, {110, "?"}},
                 {{600, ""}, {700, "1234"}},
                 {0x40}},
        // A line that has its end is typed when it comes, however short: never
        // held to go out with the next card.
        LineCase{"AShortLineIsTypedWhenItEnds",
                 {{0, ";12?\r"}, {2000, ";3456?\r"}},
                 {{100, "12"}, {2100, "123456"}},
                 {0x40, 0x40}},
        // Part of a card that the silence cut off is a bad read, and so is its rest.
        LineCase{"ASwipeCutOffByTheSilence",
                 {{50, ";411111111"}, {2000, "1111111=2512?\r"}},
                 {{3000, ""}},
                 {4, 4}},
        LineCase{"LineEndsAloneAreNoLine",
                 {{0, std::string("\r\n\r\n\r\n\0", 7)}, {150, ";2222?\r"}},
                 {{300, "2222"}},
                 {0x40}},
        // A swipe whose bytes pause inside the track is typed whole, not as a cut
        // part that reads good followed by a bad rest.
        LineCase{"APauseInsideTheTrack",
                 {{50, ";4111111111"}, {400, "111111=2512?\r"}},
                 {{1000, "4111111111111111=2512"}},
                 {0x40}},
        // A line with no end within 1023 bytes is no card: junk before a swipe and
        // a track too long are dropped through their ends with the bad-read beep.
        LineCase{"ALineTooLongIsDroppedThroughItsEnd",
                 {{0, kLongNoise + ";1111?\r;2222?\r"}, {0, ";" + kLongNoise + "?\r;3333?\r"}},
                 {{200, "2222"}, {1000, "22223333"}},
                 {4, 0x40, 4, 0x40}},
        // Longer than two reads of the buffer: still one bad read up to its end.
        LineCase{"ALineLongerThanTwoBuffersIsDroppedThroughItsEnd",
                 {{0, std::string(2500, '~') + "\r;1111?\r"}},
                 {{1000, "1111"}},
                 {4, 0x40}}),
    testsupport::ByName());

// The bytes held for an unfinished line are dropped when the reader starts again.
TEST_F(MsrRestartTest, AStartForgetsTheUnfinishedLine) {
    Settings.UseTrack1 = 0;
    ASSERT_EQ(StartMSRReader(readerWindow_), 1);
    device_->QueueInput(";11111111");
    RunFor(Settings.MSRInterval);
    ASSERT_EQ(StopMSRReader(readerWindow_), 0);
    ASSERT_EQ(StartMSRReader(readerWindow_), 1);
    device_->QueueInput(";2222?\r");
    RunFor(Settings.MSRInterval);
    EXPECT_EQ(Typed(), "2222");
}

} // namespace
