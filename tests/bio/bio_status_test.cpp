// The status word, the count of waiting bytes, the overflow purge and purging.
#include <algorithm>
#include <utility>

#include "bio_fixture.h"

namespace biotest {
namespace {

using StatusTest = BioTest;

// Each line error sets its own bit, through the count as well; the bits gather
// until the port is closed.
TEST_F(StatusTest, LineErrorsGatherInTheStatusWordUntilClose) {
    int id = OpenReaderPort();
    const std::pair<DWORD, unsigned int> bits[] = {{CE_FRAME, 0x02},
                                                   {CE_BREAK, 0x01},
                                                   {CE_OVERRUN, 0x04},
                                                   {CE_RXPARITY, 0x08},
                                                   {CE_RXOVER, 0x10}};
    unsigned int word = 0;
    for (auto [error, bit] : bits) {
        Device(1).QueueErrors(error);
        EXPECT_EQ(error == CE_BREAK ? bio_get_inputcount(id) : bio_update_status(id), 0);
        word |= bit;
        EXPECT_EQ(bio_get_slot(id)->statusWord, word) << error;
    }
    bio_close_port(id);
    EXPECT_EQ(bio_get_slot(Open(1))->statusWord, 0u);
}

// An overflow drops what the device holds and what the layer has buffered; bytes
// after it are counted and read as usual.
TEST_F(StatusTest, AnOverflowEmptiesTheQueueAndTheCount) {
    int id = OpenReaderPort();
    Device(1).QueueInput("ABCDEF");
    Device(1).QueueErrors(CE_RXOVER);
    EXPECT_EQ(bio_get_inputcount(id), 0);
    EXPECT_EQ(Device(1).InputWaiting(), 0u);
    Device(1).QueueInput("XYZ");
    EXPECT_EQ(bio_get_inputcount(id), 3);
    EXPECT_EQ(bio_read_char(id), 'X'); // the rest now waits in the platform's buffer
    Device(1).QueueErrors(CE_RXOVER);
    // Right after a read the buffer alone gives the count; asked again, the device
    // is asked too, and its overflow drops everything.
    EXPECT_EQ(bio_get_inputcount(id), 2);
    EXPECT_EQ(bio_get_inputcount(id), 0);
    EXPECT_EQ(bio_read_char(id), 0);
}

TEST_F(StatusTest, TheCountIsExactAcrossBufferedReadsAndPurges) {
    int id = OpenReaderPort();
    Device(1).QueueInput("0123456789");
    EXPECT_EQ(bio_get_inputcount(id), 10);
    char bytes[4];
    EXPECT_EQ(bio_read_bytes(id, 3, bytes), 3);
    EXPECT_EQ(bio_get_inputcount(id), 7);
    Device(1).QueueInput("ab");
    EXPECT_EQ(bio_get_inputcount(id), 9);
    // A purge drops the device's bytes and those the layer buffered, whatever the
    // platform answers.
    Device(1).FailCall(CommCall::Purge, ERROR_GEN_FAILURE, 2);
    EXPECT_EQ(bio_purge_input(id), 0);
    EXPECT_EQ(bio_purge_output(id), 0);
    EXPECT_EQ(std::count(Device(1).Calls().begin(), Device(1).Calls().end(), CommCall::Purge), 2);
    EXPECT_EQ(bio_purge_input(id), 0);
    EXPECT_EQ(bio_get_inputcount(id), 0);
    EXPECT_EQ(bio_read_char(id), 0);
    Device(1).QueueInput("Z");
    EXPECT_EQ(bio_read_char(id), 'Z');
}

TEST_F(StatusTest, AFailedClearCommErrorGives36AndMinus36) {
    int id = OpenReaderPort();
    Device(1).FailCall(CommCall::ClearError, ERROR_GEN_FAILURE);
    EXPECT_EQ(bio_update_status(id), BIO_IO_FAILED);
    Device(1).FailCall(CommCall::ClearError, ERROR_GEN_FAILURE);
    EXPECT_EQ(bio_get_inputcount(id), -BIO_IO_FAILED);
    EXPECT_EQ(bio_get_inputcount(id), 0);
}

} // namespace
} // namespace biotest
