// Writing and reading blocks, strings and bytes; failed transfers and the status
// word; the modem lines.
#include <algorithm>

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
}

TEST_F(TransferTest, StringCutShortReturnsTheCountAfterTheWriteTimeoutAndAByteGives3) {
    int id = OpenReaderPort();
    Device(1).LimitOutput(3);
    Milliseconds start = Now();
    EXPECT_EQ(bio_write_string(id, "0123456789"), 3);
    EXPECT_EQ(Device(1).Output(), "012");
    EXPECT_EQ(Now() - start, Milliseconds{50}); // 5 ms for each of the 10 bytes
    // A byte that times out.
    EXPECT_EQ(bio_write_char(id, 'x'), BIO_WRITE_INCOMPLETE);
    EXPECT_EQ(Device(1).Output(), "012");
}

TEST_F(TransferTest, FailedWriteRecordsTheLineErrors) {
    int id = OpenReaderPort();
    Device(1).QueueErrors(CE_FRAME);
    // The setup asked for fAbortOnError: the write is refused while the error waits.
    EXPECT_EQ(bio_write_bytes(id, 3, "abc"), -BIO_IO_FAILED);
    EXPECT_EQ(bio_get_slot(id)->statusWord, 0x02u);
    EXPECT_EQ(bio_write_bytes(id, 3, "abc"), 3);

    Device(1).FailCall(CommCall::Write, ERROR_WRITE_FAULT);
    EXPECT_EQ(bio_write_char(id, 'x'), BIO_IO_FAILED);
    Device(1).FailCall(CommCall::Write, ERROR_WRITE_FAULT);
    EXPECT_EQ(bio_write_string(id, "xyz"), -BIO_IO_FAILED);
    EXPECT_EQ(Device(1).Output(), "abc");
}

TEST_F(TransferTest, FailedReadRecordsTheLineErrors) {
    int id = OpenReaderPort();
    Device(1).QueueInput("abc");
    Device(1).QueueErrors(CE_RXPARITY);
    char bytes[8];
    EXPECT_EQ(bio_read_bytes(id, 3, bytes), -BIO_IO_FAILED);
    EXPECT_EQ(bio_get_slot(id)->statusWord, 0x08u);
    EXPECT_EQ(bio_read_bytes(id, 3, bytes), 3);
    EXPECT_EQ(std::string(bytes, 3), "abc");
    Device(1).FailCall(CommCall::Read, ERROR_READ_FAULT);
    EXPECT_EQ(bio_read_char(id), -BIO_IO_FAILED);
}

TEST_F(TransferTest, ReadReturnsWhatArrivedWithinAboutAMillisecond) {
    int id = OpenReaderPort();
    char bytes[8] = {};
    Milliseconds start = Now();
    EXPECT_EQ(bio_read_bytes(id, 8, bytes), 0);
    EXPECT_EQ(Now() - start, Milliseconds{1});
    Device(1).QueueInput("abc");
    EXPECT_EQ(bio_read_bytes(id, 8, bytes), 3);
    EXPECT_EQ(bio_read_bytes(id, 0, bytes), 0);
    EXPECT_EQ(bio_read_bytes(id, -1, bytes), 0);
}

TEST_F(TransferTest, ReadCharGivesZeroForAZeroByteAndForNothing) {
    int id = OpenReaderPort();
    Device(1).QueueInput(std::string("\0A\xFF", 3));
    EXPECT_EQ(bio_read_char(id), 0);
    EXPECT_EQ(bio_read_char(id), 'A');
    EXPECT_EQ(bio_read_char(id), 255);
    EXPECT_EQ(bio_read_char(id), 0);
}

TEST_F(TransferTest, ModemLinesAreTestedBitByBit) {
    int id = OpenReaderPort();
    Device(1).SetModemStatus(MS_RLSD_ON | MS_RING_ON);
    EXPECT_EQ(bio_get_carrier(id), 1);
    EXPECT_EQ(bio_get_ring(id), 1);
    EXPECT_EQ(bio_get_cts(id), 0);
    EXPECT_EQ(bio_get_dsr(id), 0);
    Device(1).SetModemStatus(MS_CTS_ON | MS_DSR_ON);
    EXPECT_EQ(bio_get_carrier(id), 0);
    EXPECT_EQ(bio_get_cts(id), 1);
    EXPECT_EQ(bio_get_dsr(id), 1);
    Device(1).FailCall(CommCall::ModemStatus, ERROR_GEN_FAILURE);
    EXPECT_EQ(bio_get_cts(id), 0);
}

TEST_F(TransferTest, LineDriversRaiseAndDropDtrAndRts) {
    int id = OpenReaderPort();
    EXPECT_EQ(bio_clear_dtr(id), 0);
    EXPECT_FALSE(Device(1).Dtr());
    EXPECT_EQ(bio_set_dtr(id), 0);
    EXPECT_TRUE(Device(1).Dtr());
    EXPECT_EQ(bio_clear_rts(id), 0);
    EXPECT_FALSE(Device(1).Rts());
    EXPECT_EQ(bio_set_rts(id), 0);
    EXPECT_TRUE(Device(1).Rts());
    Device(1).FailCall(CommCall::Escape, ERROR_GEN_FAILURE);
    EXPECT_EQ(bio_clear_dtr(id), BIO_IO_FAILED);
    EXPECT_TRUE(Device(1).Dtr());
}

TEST_F(TransferTest, PortWithoutModemLinesReadsThemOffAndCannotDriveThem) {
    Device(1).SetModemLines(false);
    platform::StartRecording();
    int id = OpenReaderPort(); // the setup still succeeds
    EXPECT_EQ(bio_get_carrier(id), 0);
    EXPECT_EQ(bio_get_cts(id), 0);
    EXPECT_EQ(bio_set_dtr(id), BIO_IO_FAILED);
    EXPECT_EQ(bio_clear_rts(id), BIO_IO_FAILED);
    EXPECT_EQ(Device(1).Settings().fDtrControl, DTR_CONTROL_ENABLE);
    EXPECT_FALSE(platform::Recorded().debugLines.empty());
}

} // namespace
} // namespace biotest
