// The status word, the count of waiting bytes, the overflow purge and purging.
#include <algorithm>

#include "bio_fixture.h"
#include "support/param_name.h"

namespace biotest {
namespace {

using StatusTest = BioTest;

struct ErrorBit {
    DWORD lineError;
    unsigned int statusBit;
};

class StatusBitTest : public BioTest, public testing::WithParamInterface<ErrorBit> {};

TEST_P(StatusBitTest, LineErrorSetsItsBitAndOnlyThat) {
    int id = OpenReaderPort();
    Device(1).QueueErrors(GetParam().lineError);
    EXPECT_EQ(bio_update_status(id), 0);
    EXPECT_EQ(bio_get_slot(id)->statusWord, GetParam().statusBit);
}

INSTANTIATE_TEST_SUITE_P(Table, StatusBitTest,
                         testing::Values(ErrorBit{CE_BREAK, 0x01}, ErrorBit{CE_FRAME, 0x02},
                                         ErrorBit{CE_OVERRUN, 0x04}, ErrorBit{CE_RXPARITY, 0x08},
                                         ErrorBit{CE_RXOVER, 0x10}),
                         [](const testing::TestParamInfo<ErrorBit>& info) {
                             return testsupport::ParamName("bit", info.param.statusBit);
                         });

TEST_F(StatusTest, BitsAccumulateUntilThePortIsClosed) {
    int id = OpenReaderPort();
    Device(1).QueueErrors(CE_FRAME);
    EXPECT_EQ(bio_update_status(id), 0);
    Device(1).QueueErrors(CE_BREAK | CE_RXPARITY);
    EXPECT_EQ(bio_get_inputcount(id), 0);
    EXPECT_EQ(bio_update_status(id), 0);
    EXPECT_EQ(bio_get_slot(id)->statusWord, 0x01u | 0x02u | 0x08u);
    bio_close_port(id);
    id = Open(1);
    EXPECT_EQ(bio_get_slot(id)->statusWord, 0u);
}

TEST_F(StatusTest, OverflowClearsTheReceiveQueueAndTheCount) {
    int id = OpenReaderPort();
    Device(1).QueueInput("ABCDEF");
    Device(1).QueueErrors(CE_RXOVER);
    EXPECT_EQ(bio_get_inputcount(id), 0);
    EXPECT_EQ(bio_get_slot(id)->statusWord, 0x10u);
    EXPECT_EQ(Device(1).InputWaiting(), 0u);
    const auto& calls = Device(1).Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), CommCall::Purge), calls.end());

    // Bytes after the overflow are counted and read as usual.
    Device(1).QueueInput("XY");
    EXPECT_EQ(bio_get_inputcount(id), 2);
    EXPECT_EQ(bio_read_char(id), 'X');
    EXPECT_EQ(bio_get_slot(id)->statusWord, 0x10u);
}

TEST_F(StatusTest, OverflowAlsoDropsBytesTheLayerHasBuffered) {
    int id = OpenReaderPort();
    Device(1).QueueInput("ABCDEF");
    EXPECT_EQ(bio_read_char(id), 'A'); // the rest now waits in the platform's buffer
    Device(1).QueueErrors(CE_RXOVER);
    // Right after a read the buffer alone gives the count; asked again, the device
    // is asked too, and its overflow drops everything.
    EXPECT_EQ(bio_get_inputcount(id), 5);
    EXPECT_EQ(bio_get_inputcount(id), 0);
    EXPECT_EQ(bio_read_char(id), 0);
}

TEST_F(StatusTest, InputCountIsExactAcrossBufferedReads) {
    int id = OpenReaderPort();
    EXPECT_EQ(bio_get_inputcount(id), 0);
    Device(1).QueueInput("0123456789");
    EXPECT_EQ(bio_get_inputcount(id), 10);
    char bytes[4];
    EXPECT_EQ(bio_read_bytes(id, 3, bytes), 3);
    EXPECT_EQ(bio_get_inputcount(id), BIO_NO_PORT);
    Device(1).QueueInput("ab");
    EXPECT_EQ(bio_get_inputcount(id), 9);
}

TEST_F(StatusTest, FailedClearCommErrorGivesIoFailedAsStatusAndAsCount) {
    int id = OpenReaderPort();
    Device(1).FailCall(CommCall::ClearError, ERROR_GEN_FAILURE);
    EXPECT_EQ(bio_update_status(id), BIO_IO_FAILED);
    Device(1).FailCall(CommCall::ClearError, ERROR_GEN_FAILURE);
    EXPECT_EQ(bio_get_inputcount(id), -BIO_IO_FAILED);
    EXPECT_EQ(bio_get_inputcount(id), 0);
}

TEST_F(StatusTest, PurgeInputDropsDeviceAndBufferedBytes) {
    int id = OpenReaderPort();
    Device(1).QueueInput("ABCDEF");
    EXPECT_EQ(bio_read_char(id), 'A');
    EXPECT_EQ(bio_purge_input(id), 0);
    EXPECT_EQ(bio_get_inputcount(id), 0);
    EXPECT_EQ(bio_read_char(id), 0);
    Device(1).QueueInput("Z");
    EXPECT_EQ(bio_read_char(id), 'Z');
}

TEST_F(StatusTest, PurgesIgnoreThePlatformsResult) {
    int id = OpenReaderPort();
    Device(1).FailCall(CommCall::Purge, ERROR_GEN_FAILURE, 2);
    EXPECT_EQ(bio_purge_input(id), 0);
    EXPECT_EQ(bio_purge_output(id), 0);
    EXPECT_EQ(std::count(Device(1).Calls().begin(), Device(1).Calls().end(), CommCall::Purge), 2);
}

} // namespace
} // namespace biotest
