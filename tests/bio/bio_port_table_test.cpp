// The port table: allocation of entries, the open's result order and failure
// paths, closing, and ids that name no port.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bio_fixture.h"
#include "platform/core/handle_table.h"
#include "support/param_name.h"

namespace biotest {
namespace {

using PortTableTest = BioTest;

// Ids in order, the lowest free entry first; an open port number is refused
// before a full table is, also behind an emptied entry.
TEST_F(PortTableTest, FourPortsGetIdsInOrderAndAPortOpensOnce) {
    for (int number = 1; number <= 4; number++) {
        EXPECT_EQ(bio_open_port(number, 1024, 1024), number - 1);
    }
    EXPECT_EQ(bio_open_port(5, 1024, 1024), -BIO_TABLE_FULL);
    EXPECT_FALSE(Device(5).IsOpen());
    EXPECT_EQ(bio_open_port(4, 1024, 1024), -BIO_ALREADY_OPEN);
    EXPECT_EQ(bio_close_port(0), 0);
    EXPECT_EQ(bio_open_port(2, 1024, 1024), -BIO_ALREADY_OPEN);
    EXPECT_EQ(bio_open_port(1, 1024, 1024), 0);
    EXPECT_EQ(bio_close_port(1), 0);
    EXPECT_EQ(bio_open_port(5, 1024, 1024), 1);
    EXPECT_EQ(bio_get_slot(1)->portNumber, 5);
}

TEST_F(PortTableTest, IdsThatNameNoSlotAreRefusedByEveryOperation) {
    int closedId = Open(1);
    bio_close_port(closedId);
    for (int id : {-1, 4, closedId}) {
        SCOPED_TRACE(id);
        char line[8] = "#######";
        EXPECT_EQ(std::vector<int>(
                      {bio_close_port(id), bio_setup_port(id, 9600, 0, 3, 0, 4, 0),
                       bio_set_baudrate(id, 9600), bio_update_status(id), bio_purge_input(id),
                       bio_purge_output(id), bio_get_inputcount(id), bio_set_timeout(id, 5),
                       bio_write_char(id, 'a'), bio_set_dtr(id), bio_clear_dtr(id), bio_set_rts(id),
                       bio_clear_rts(id), bio_set_modemstring(id, 0, "AT"),
                       bio_get_modemvalue(id, 0), bio_set_modemvalue(id, 0, 1)}),
                  std::vector<int>(16, 7));
        EXPECT_EQ(std::vector<int>({bio_get_timeout(id), bio_get_carrierspeed(id),
                                    bio_get_connectspeed(id), bio_write_bytes(id, 3, "abc"),
                                    bio_write_string(id, "abc"), bio_read_bytes(id, 3, line),
                                    bio_read_char(id), bio_read_line(id, sizeof line, line)}),
                  std::vector<int>(8, -7));
        EXPECT_EQ(line[0], '\0');
        EXPECT_EQ(bio_get_carrier(id) + bio_get_cts(id) + bio_get_dsr(id) + bio_get_ring(id), 0);
        EXPECT_EQ(bio_get_slot(id), nullptr);
        EXPECT_EQ(bio_get_modemstring(id, 0), nullptr);
    }
    EXPECT_TRUE(Device(1).Output().empty());
}

TEST_F(PortTableTest, PortNumbersOfUpToSixDigitsOpenAndOthersGiveMinus7) {
    std::size_t handles = platform::OpenHandleCount();
    for (int number : {-1, -2147483647 - 1, 0, 1000000, INT_MAX}) {
        EXPECT_EQ(bio_open_port(number, 1024, 1024), -BIO_NO_PORT) << number;
    }
    EXPECT_EQ(platform::OpenHandleCount(), handles);
    auto device = std::make_shared<MemorySerialDevice>();
    platform::AttachMemorySerialDevice(999999, device);
    EXPECT_EQ(bio_open_port(999999, 1024, 1024), 0);
    EXPECT_TRUE(device->IsOpen());
    EXPECT_EQ(bio_close_port(0), 0);
    platform::DetachMemorySerialDevice(999999);
}

// A read returns after 1 ms, a write after 5 ms a byte; the profile is the
// template's; the line is left as it was.
TEST_F(PortTableTest, OpenSetsTheTimeoutsAndTheSlotsStartingFields) {
    DCB before = Device(1).Settings();
    PortSlot* slot = bio_get_slot(Open(1));
    ASSERT_NE(slot, nullptr);
    COMMTIMEOUTS timeouts;
    std::memset(&timeouts, 0xFF, sizeof timeouts);
    ASSERT_TRUE(GetCommTimeouts(slot->handle, &timeouts));
    const COMMTIMEOUTS expected{0, 0, 1, 5, 0};
    EXPECT_EQ(std::memcmp(&timeouts, &expected, sizeof timeouts), 0);
    EXPECT_EQ(std::memcmp(&slot->currentTimeouts, &expected, sizeof timeouts), 0);
    EXPECT_EQ(std::memcmp(&slot->currentLineSettings, &before, sizeof(DCB)), 0);
    EXPECT_EQ(slot->terminatorCount, 3);
    EXPECT_EQ(std::memcmp(slot->terminatorSet, "\r\n", 3), 0);
    EXPECT_EQ(std::memcmp(slot->modemProfile, &ModemProfileTemplate, sizeof(ModemProfile)), 0);
    EXPECT_TRUE(Device(1).AppliedSettings().empty());
}

struct OpenFailure {
    const char* name;
    CommCall call;
    int result;
    bool settingsPutBack; // the failure came after the slot was made
};

class OpenFailureTest : public BioTest, public testing::WithParamInterface<OpenFailure> {};

TEST_P(OpenFailureTest, FailedOpenLeavesNoTrace) {
    const OpenFailure& failure = GetParam();
    std::size_t handles = platform::OpenHandleCount();
    Device(1).FailCall(failure.call, ERROR_GEN_FAILURE);
    EXPECT_EQ(bio_open_port(1, 1024, 1024), failure.result);
    EXPECT_FALSE(Device(1).IsOpen());
    EXPECT_EQ(bio_get_slot(0), nullptr);
    EXPECT_EQ(platform::OpenHandleCount(), handles);
    EXPECT_EQ(Device(1).AppliedSettings().size(), failure.settingsPutBack ? 1u : 0u);
    EXPECT_EQ(Open(1), 0); // nothing is held: the same port opens at once
}

INSTANTIATE_TEST_SUITE_P(
    EachSetupCall, OpenFailureTest,
    testing::Values(OpenFailure{"Open", CommCall::Open, -BIO_NO_PORT, false},
                    OpenFailure{"Setup", CommCall::Setup, -BIO_IO_FAILED, false},
                    OpenFailure{"GetState", CommCall::GetState, -BIO_IO_FAILED, false},
                    OpenFailure{"GetTimeouts", CommCall::GetTimeouts, -BIO_IO_FAILED, false},
                    OpenFailure{"SetTimeouts", CommCall::SetTimeouts, -BIO_IO_FAILED, true}),
    testsupport::ByName());

TEST_F(PortTableTest, CloseAfterSetupPutsBackWhatTheOpenFound) {
    DCB original = Device(1).Settings();
    original.XonLim = 77;
    Device(1).SetSettings(original);
    int id = Open(1);
    ASSERT_EQ(bio_setup_port(id, 19200, 2, 2, 1, 0, 0), 0);
    Device(1).ClearCalls();

    EXPECT_EQ(bio_close_port(id), 0);
    ASSERT_FALSE(Device(1).AppliedSettings().empty());
    const DCB& putBack = Device(1).AppliedSettings().back();
    EXPECT_EQ(putBack.BaudRate, original.BaudRate);
    EXPECT_EQ(putBack.ByteSize, original.ByteSize);
    EXPECT_EQ(putBack.Parity, original.Parity);
    EXPECT_EQ(putBack.StopBits, original.StopBits);
    EXPECT_EQ(putBack.XonLim, 77);
    std::vector<CommCall> expected{CommCall::SetState, CommCall::SetTimeouts, CommCall::Close};
    EXPECT_EQ(Device(1).Calls(), expected);
    EXPECT_FALSE(Device(1).IsOpen());
    EXPECT_EQ(bio_close_port(id), BIO_NO_PORT);
}

TEST_F(PortTableTest, InitWithReasonOneEmptiesTheTableWithoutClosing) {
    int id = Open(1);
    PortSlot* slot = bio_get_slot(id);
    EXPECT_EQ(bio_init(0, 0), 1);
    EXPECT_EQ(bio_get_slot(id), slot);
    EXPECT_EQ(bio_init(12345, 1), 1);
    EXPECT_EQ(bio_get_slot(id), nullptr);
    EXPECT_TRUE(Device(1).IsOpen());
    // What the library let go of is the caller's now.
    CloseHandle(slot->handle);
    std::free(slot->modemProfile);
    std::free(slot);
}

} // namespace
} // namespace biotest
