// Writing and reading blocks, strings and bytes; failed transfers and the status
// word; the modem lines.
#include "bio_fixture.h"

namespace biotest {
namespace {

using TransferTest = BioTest;

TEST_F(TransferTest, WritesReachTheDeviceAndWritingNothingCallsNothing) {
    int id = OpenReaderPort();
    Device(1).ClearCalls();
    EXPECT_EQ(bio_write_bytes(id, 0, "abc"), 0);
    EXPECT_EQ(bio_write_bytes(id, -5, "abc"), 0);
    EXPECT_EQ(bio_write_string(id, ""), -BIO_ALL_WRITTEN);
    EXPECT_TRUE(Device(1).Calls().empty());
    EXPECT_EQ(bio_write_bytes(id, 4, "\x02\x10\x00\x03"), 4);
    EXPECT_EQ(bio_write_string(id, "ATZ\r"), -BIO_ALL_WRITTEN);
    EXPECT_EQ(bio_write_char(id, 0x141), 0); // only the low byte
    EXPECT_EQ(Device(1).Output(), std::string("\x02\x10\x00\x03"
                                              "ATZ\rA",
                                              9));
    // A line that takes only 3 bytes: the count after 5 ms a byte, and 3 for a byte.
    Device(1).ClearOutput();
    Device(1).LimitOutput(3);
    Milliseconds start = Now();
    EXPECT_EQ(bio_write_string(id, "0123456789"), 3);
    EXPECT_EQ(Now() - start, Milliseconds{50});
    EXPECT_EQ(bio_write_char(id, 'x'), BIO_WRITE_INCOMPLETE);
    EXPECT_EQ(Device(1).Output(), "012");
}

// A failed transfer records the line errors: the setup asked for fAbortOnError, so
// a transfer is refused while an error waits, and goes through afterwards.
TEST_F(TransferTest, AFailedTransferRecordsTheLineErrors) {
    int id = OpenReaderPort();
    Device(1).QueueErrors(CE_FRAME);
    EXPECT_EQ(bio_write_bytes(id, 3, "abc"), -BIO_IO_FAILED);
    EXPECT_EQ(bio_get_slot(id)->statusWord, 0x02u);
    EXPECT_EQ(bio_write_bytes(id, 3, "abc"), 3);
    Device(1).QueueInput("abc");
    Device(1).QueueErrors(CE_RXPARITY);
    char bytes[8];
    EXPECT_EQ(bio_read_bytes(id, 3, bytes), -BIO_IO_FAILED);
    EXPECT_EQ(bio_get_slot(id)->statusWord, 0x0Au);
    EXPECT_EQ(bio_read_bytes(id, 3, bytes), 3);
    EXPECT_EQ(std::string(bytes, 3), "abc");

    Device(1).FailCall(CommCall::Write, ERROR_GEN_FAILURE, 2);
    Device(1).FailCall(CommCall::Read, ERROR_GEN_FAILURE);
    EXPECT_EQ(bio_write_char(id, 'x'), BIO_IO_FAILED);
    EXPECT_EQ(bio_write_string(id, "xyz"), -BIO_IO_FAILED);
    EXPECT_EQ(bio_read_char(id), -BIO_IO_FAILED);
    EXPECT_EQ(Device(1).Output(), "abc");
}

TEST_F(TransferTest, AReadTakesWhatArrivedWithinAMillisecond) {
    int id = OpenReaderPort();
    char bytes[8] = {};
    Milliseconds start = Now();
    EXPECT_EQ(bio_read_bytes(id, 8, bytes), 0);
    EXPECT_EQ(Now() - start, Milliseconds{1});
    Device(1).QueueInput(std::string("abc\0A\xFF", 6));
    EXPECT_EQ(bio_read_bytes(id, 0, bytes), 0);
    EXPECT_EQ(bio_read_bytes(id, -1, bytes), 0);
    EXPECT_EQ(bio_read_bytes(id, 3, bytes), 3);
    // A byte as 0..255, and 0 both for a zero byte and for nothing.
    for (int byte : {0, int{'A'}, 255, 0}) {
        EXPECT_EQ(bio_read_char(id), byte);
    }
}

TEST_F(TransferTest, ModemLinesAreReadBitByBitAndDriven) {
    int id = OpenReaderPort();
    Device(1).SetModemStatus(MS_RLSD_ON | MS_RING_ON);
    EXPECT_EQ(
        bio_get_carrier(id) + 2 * bio_get_ring(id) + 4 * bio_get_cts(id) + 8 * bio_get_dsr(id), 3);
    Device(1).SetModemStatus(MS_CTS_ON | MS_DSR_ON);
    EXPECT_EQ(
        bio_get_carrier(id) + 2 * bio_get_ring(id) + 4 * bio_get_cts(id) + 8 * bio_get_dsr(id), 12);
    Device(1).FailCall(CommCall::ModemStatus, ERROR_GEN_FAILURE);
    EXPECT_EQ(bio_get_cts(id), 0);

    EXPECT_EQ(bio_clear_dtr(id), 0);
    EXPECT_EQ(bio_clear_rts(id), 0);
    EXPECT_FALSE(Device(1).Dtr() || Device(1).Rts());
    EXPECT_EQ(bio_set_dtr(id), 0);
    EXPECT_EQ(bio_set_rts(id), 0);
    EXPECT_TRUE(Device(1).Dtr() && Device(1).Rts());
    Device(1).FailCall(CommCall::Escape, ERROR_GEN_FAILURE);
    EXPECT_EQ(bio_clear_dtr(id), BIO_IO_FAILED);
    EXPECT_TRUE(Device(1).Dtr());
}

TEST_F(TransferTest, APortWithoutModemLinesReadsThemOffAndCannotDriveThem) {
    Device(1).SetModemLines(false);
    platform::StartRecording();
    int id = OpenReaderPort(); // the setup still succeeds
    EXPECT_EQ(bio_get_carrier(id), 0);
    EXPECT_EQ(bio_set_dtr(id), BIO_IO_FAILED);
    EXPECT_EQ(bio_clear_rts(id), BIO_IO_FAILED);
    EXPECT_EQ(Device(1).Settings().fDtrControl, DTR_CONTROL_ENABLE);
    EXPECT_FALSE(platform::Recorded().debugLines.empty());
}

} // namespace
} // namespace biotest
