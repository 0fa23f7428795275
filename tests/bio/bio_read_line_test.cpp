// Line reads: splitting, terminators, small buffers, and a line read that never
// holds its caller when nothing is coming.
#include <cstring>
#include <string>
#include <vector>

#include "bio_fixture.h"

namespace biotest {
namespace {

using ReadLineTest = BioTest;

struct Call {
    int result;
    std::string text;
};

struct LineCase {
    const char* name;
    std::string input;
    int size;
    std::vector<Call> calls;
    int leftWaiting;
};

class LineSplitTest : public BioTest, public testing::WithParamInterface<LineCase> {};

TEST_P(LineSplitTest, SplitsAsExpected) {
    const LineCase& c = GetParam();
    int id = OpenReaderPort();
    Device(1).QueueInput(c.input);
    for (const Call& expected : c.calls) {
        char line[1024];
        std::memset(line, '#', sizeof line);
        EXPECT_EQ(bio_read_line(id, c.size, line), expected.result);
        EXPECT_EQ(std::string(line), expected.text);
    }
    EXPECT_EQ(bio_get_inputcount(id), c.leftWaiting);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, LineSplitTest,
    testing::Values(
        LineCase{"LeadingTerminatorsDropped", "\r\nXYZ\r", 1024, {{3, "XYZ"}}, 0},
        LineCase{"FullBufferLeavesTheRest", "ABCDEF", 4, {{3, "ABC"}}, 3},
        LineCase{"RestComesNext", "ABCDEF", 4, {{3, "ABC"}, {3, "DEF"}, {0, ""}}, 0},
        LineCase{"ZeroByteEndsALine", std::string("AB\0CD\r", 6), 1024, {{2, "AB"}, {2, "CD"}}, 0},
        LineCase{"LineFeedEndsALine", "one\ntwo\r\n", 1024, {{3, "one"}, {3, "two"}}, 1},
        LineCase{"SizeTwoGivesOneByte", "QRS", 2, {{1, "Q"}, {1, "R"}}, 1},
        LineCase{"OnlyTerminatorsGiveNoLine", "\r\n\r\n", 1024, {{0, ""}}, 0},
        LineCase{"EmptyPortGivesNoLine", "", 1024, {{0, ""}}, 0},
        LineCase{"HighBytesAreData", "\xB1\xFF\r", 1024, {{2, "\xB1\xFF"}}, 0},
        // The terminator of a line of 1023 bytes waits, to be dropped by the next read.
        LineCase{
            "FullLine", std::string(1023, 'x') + "\r", 1024, {{1023, std::string(1023, 'x')}}, 1}),
    [](const testing::TestParamInfo<LineCase>& info) { return info.param.name; });

// A line read takes a first byte that arrives within the 1 ms read time-out, and
// ends when nothing more is waiting: a pause splits a line.
TEST_F(ReadLineTest, APauseSplitsALineAndTheTailComesAsItsOwnLine) {
    int id = OpenReaderPort();
    Device(1).QueuePause(Milliseconds{1});
    Device(1).QueueInput("XY");
    Device(1).QueuePause(Milliseconds{50});
    Device(1).QueueInput("Z\r");
    char line[1024];
    EXPECT_EQ(bio_read_line(id, sizeof line, line), 2);
    EXPECT_STREQ(line, "XY");
    Milliseconds start = Now();
    EXPECT_EQ(bio_read_line(id, sizeof line, line), 0);
    EXPECT_STREQ(line, "");
    EXPECT_EQ(Now() - start, Milliseconds{1});
    platform::AdvanceManualClock(Milliseconds{50});
    EXPECT_EQ(bio_read_line(id, sizeof line, line), 1);
    EXPECT_STREQ(line, "Z");
}

TEST_F(ReadLineTest, SizesBelowTwoWriteNothingPastTheBuffer) {
    int id = OpenReaderPort();
    Device(1).QueueInput("ABC");
    char buffer[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(bio_read_line(id, 1, buffer), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], '#');
    buffer[0] = '#';
    EXPECT_EQ(bio_read_line(id, 0, buffer), 0);
    EXPECT_EQ(bio_read_line(id, -5, buffer), 0);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(bio_read_line(id, 16, nullptr), 0);
    EXPECT_EQ(bio_get_inputcount(id), 3); // nothing was consumed
}

TEST_F(ReadLineTest, FailingCountDeliversWaitingBytesAndOtherwiseEndsTheCallWithIoFailed) {
    int id = OpenReaderPort();
    Device(1).QueueInput("AB\r");
    Device(1).FailCall(CommCall::ClearError, ERROR_GEN_FAILURE, 1);
    char line[16];
    // The count fails once, the read brings 'A'; the body's count works again.
    EXPECT_EQ(bio_read_line(id, sizeof line, line), 2);
    EXPECT_STREQ(line, "AB");

    // Nothing waiting: a count that keeps failing ends the call.
    bio_purge_input(id);
    Device(1).FailCall(CommCall::ClearError, ERROR_GEN_FAILURE, -1);
    Milliseconds start = Now();
    EXPECT_EQ(bio_read_line(id, sizeof line, line), -BIO_IO_FAILED);
    EXPECT_LE(Now() - start, Milliseconds{1});
    EXPECT_STREQ(line, "");
}

TEST_F(ReadLineTest, ReadFailureFirstGivesIoFailedAndMidLineKeepsTheBytesSoFar) {
    int id = OpenReaderPort();
    Device(1).QueueInput("ABCDEF\r");
    Device(1).FailCall(CommCall::Read, ERROR_READ_FAULT);
    char line[16] = "#";
    EXPECT_EQ(bio_read_line(id, sizeof line, line), -BIO_IO_FAILED);
    EXPECT_STREQ(line, "");
    Device(1).FailCall(CommCall::Read, ERROR_READ_FAULT, 1, 2);
    EXPECT_EQ(bio_read_line(id, sizeof line, line), 2);
    EXPECT_STREQ(line, "AB");
    // The failed read took nothing: the line goes on from C.
    EXPECT_EQ(bio_read_line(id, sizeof line, line), 4);
    EXPECT_STREQ(line, "CDEF");
}

TEST(TerminatorTest, ComparesTheFirstCountBytesAsSignedValues) {
    const char set[] = "\r\n";
    EXPECT_EQ(bio_is_terminator('\r', set, 3), 1);
    EXPECT_EQ(bio_is_terminator('\n', set, 3), 1);
    EXPECT_EQ(bio_is_terminator(0, set, 3), 1);
    EXPECT_EQ(bio_is_terminator(0, set, 2), 0);
    EXPECT_EQ(bio_is_terminator('\n', set, 1), 0);
    EXPECT_EQ(bio_is_terminator('\r', set, 0), 0);
    EXPECT_EQ(bio_is_terminator('\r', set, -1), 0);
    EXPECT_EQ(bio_is_terminator('A', set, 3), 0);
    const char high[] = "\xFF";
    EXPECT_EQ(bio_is_terminator(0xFF, high, 1), 1);
    EXPECT_EQ(bio_is_terminator(-1, high, 1), 1);
    EXPECT_EQ(bio_is_terminator(0x10D, set, 1), 1); // only the low 8 bits count
}

} // namespace
} // namespace biotest
