// The port table: allocation of entries, the open's result order and failure
// paths, closing, and ids that name no port.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "bio_fixture.h"
#include "platform/core/handle_table.h"
#include "support/param_name.h"

namespace biotest {
namespace {

using PortTableTest = BioTest;

TEST_F(PortTableTest, FirstFourPortsGetIdsInOrderAndTheFifthFindsTheTableFull) {
    EXPECT_EQ(bio_open_port(1, 1024, 1024), 0);
    EXPECT_EQ(bio_open_port(2, 1024, 1024), 1);
    EXPECT_EQ(bio_open_port(3, 1024, 1024), 2);
    EXPECT_EQ(bio_open_port(4, 1024, 1024), 3);
    EXPECT_EQ(bio_open_port(5, 1024, 1024), -BIO_TABLE_FULL);
    EXPECT_FALSE(Device(5).IsOpen());

    EXPECT_EQ(bio_close_port(1), 0);
    EXPECT_EQ(bio_open_port(5, 1024, 1024), 1);
    EXPECT_EQ(bio_get_slot(1)->portNumber, 5);
}

TEST_F(PortTableTest, AlreadyOpenWinsOverTableFullAndIsFoundBehindAnEmptyEntry) {
    EXPECT_EQ(Open(1), 0);
    EXPECT_EQ(bio_open_port(1, 1024, 1024), -BIO_ALREADY_OPEN);
    Open(2);
    Open(3);
    Open(4);
    EXPECT_EQ(bio_open_port(1, 1024, 1024), -BIO_ALREADY_OPEN);
    EXPECT_EQ(bio_open_port(4, 1024, 1024), -BIO_ALREADY_OPEN);
    EXPECT_EQ(bio_open_port(6, 1024, 1024), -BIO_TABLE_FULL);
    // Behind an entry that was emptied.
    bio_close_port(0);
    EXPECT_EQ(bio_open_port(2, 1024, 1024), -BIO_ALREADY_OPEN);
    EXPECT_EQ(bio_open_port(6, 1024, 1024), 0);
}

TEST_F(PortTableTest, IdsThatNameNoSlotAreRefusedByEveryOperation) {
    int closedId = Open(1);
    bio_close_port(closedId);
    for (int id : {-1, -45, 4, 100, INT_MIN, INT_MAX, closedId}) {
        SCOPED_TRACE(id);
        char line[8] = "#######";
        EXPECT_EQ(bio_get_slot(id), nullptr);
        EXPECT_EQ(bio_close_port(id), BIO_NO_PORT);
        EXPECT_EQ(bio_setup_port(id, 9600, 0, 3, 0, 4, 0), BIO_NO_PORT);
        EXPECT_EQ(bio_set_baudrate(id, 9600), BIO_NO_PORT);
        EXPECT_EQ(bio_update_status(id), BIO_NO_PORT);
        EXPECT_EQ(bio_purge_input(id), BIO_NO_PORT);
        EXPECT_EQ(bio_purge_output(id), BIO_NO_PORT);
        EXPECT_EQ(bio_get_inputcount(id), BIO_NO_PORT);
        EXPECT_EQ(bio_get_timeout(id), -BIO_NO_PORT);
        EXPECT_EQ(bio_set_timeout(id, 5), BIO_NO_PORT);
        EXPECT_EQ(bio_get_carrierspeed(id), -BIO_NO_PORT);
        EXPECT_EQ(bio_get_connectspeed(id), -BIO_NO_PORT);
        EXPECT_EQ(bio_write_bytes(id, 3, "abc"), -BIO_NO_PORT);
        EXPECT_EQ(bio_write_string(id, "abc"), -BIO_NO_PORT);
        EXPECT_EQ(bio_write_char(id, 'a'), BIO_NO_PORT);
        EXPECT_EQ(bio_read_bytes(id, 3, line), -BIO_NO_PORT);
        EXPECT_EQ(bio_read_char(id), -BIO_NO_PORT);
        EXPECT_EQ(bio_read_line(id, sizeof line, line), -BIO_NO_PORT);
        EXPECT_EQ(line[0], '\0');
        EXPECT_EQ(bio_get_carrier(id), 0);
        EXPECT_EQ(bio_get_cts(id), 0);
        EXPECT_EQ(bio_get_dsr(id), 0);
        EXPECT_EQ(bio_get_ring(id), 0);
        EXPECT_EQ(bio_set_dtr(id), BIO_NO_PORT);
        EXPECT_EQ(bio_clear_dtr(id), BIO_NO_PORT);
        EXPECT_EQ(bio_set_rts(id), BIO_NO_PORT);
        EXPECT_EQ(bio_clear_rts(id), BIO_NO_PORT);
        EXPECT_EQ(bio_get_modemstring(id, 0), nullptr);
        EXPECT_EQ(bio_set_modemstring(id, 0, "AT"), BIO_NO_PORT);
        EXPECT_EQ(bio_get_modemvalue(id, 0), BIO_NO_PORT);
        EXPECT_EQ(bio_set_modemvalue(id, 0, 1), BIO_NO_PORT);
    }
    EXPECT_TRUE(Device(1).Output().empty());
}

TEST_F(PortTableTest, PortNumbersWithoutAValidNameGiveNoPort) {
    std::size_t handles = platform::OpenHandleCount();
    for (int number : {-1, -2147483647 - 1, 0, 1000000, INT_MAX}) {
        SCOPED_TRACE(number);
        EXPECT_EQ(bio_open_port(number, 1024, 1024), -BIO_NO_PORT);
    }
    EXPECT_EQ(platform::OpenHandleCount(), handles);
    EXPECT_EQ(Open(1), 0); // the table is still empty
}

TEST_F(PortTableTest, SixDigitPortNumbersOpen) {
    auto device = std::make_shared<MemorySerialDevice>();
    platform::AttachMemorySerialDevice(999999, device);
    EXPECT_EQ(bio_open_port(999999, 1024, 1024), 0);
    EXPECT_TRUE(device->IsOpen());
    EXPECT_EQ(bio_close_port(0), 0);
    platform::DetachMemorySerialDevice(999999);
}

TEST_F(PortTableTest, OpenSetsTheTimeoutsAndTheSlotsStartingFields) {
    DCB before = Device(1).Settings();
    int id = Open(1);
    PortSlot* slot = bio_get_slot(id);
    ASSERT_NE(slot, nullptr);

    COMMTIMEOUTS timeouts;
    std::memset(&timeouts, 0xFF, sizeof timeouts);
    ASSERT_TRUE(GetCommTimeouts(slot->handle, &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 1u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 5u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 0u);
    EXPECT_EQ(std::memcmp(&slot->currentTimeouts, &timeouts, sizeof timeouts), 0);
    COMMTIMEOUTS zero{};
    EXPECT_EQ(std::memcmp(&slot->savedTimeouts, &zero, sizeof zero), 0);

    EXPECT_EQ(slot->portNumber, 1);
    EXPECT_EQ(slot->savedLineSettings.BaudRate, before.BaudRate);
    EXPECT_EQ(std::memcmp(&slot->currentLineSettings, &slot->savedLineSettings, sizeof(DCB)), 0);
    EXPECT_EQ(slot->statusWord, 0u);
    EXPECT_EQ(slot->timeoutSetting, 0);
    EXPECT_EQ(slot->waitHook, nullptr);
    EXPECT_EQ(slot->terminatorCount, 3);
    EXPECT_EQ(std::memcmp(slot->terminatorSet, "\r\n", 3), 0);
    EXPECT_EQ(slot->parityCode, -1);
    EXPECT_EQ(slot->dataBitsCode, -1);
    EXPECT_EQ(slot->stopBitsCode, -1);
    EXPECT_EQ(slot->flowControlMode, -1);
    EXPECT_EQ(slot->carrierSpeed, 0);
    EXPECT_EQ(slot->connectSpeed, 0);
    ASSERT_NE(slot->modemProfile, nullptr);
    EXPECT_EQ(std::memcmp(slot->modemProfile, &ModemProfileTemplate, sizeof(ModemProfile)), 0);
    // Opening leaves the line as it was.
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

TEST_F(PortTableTest, TimeoutSettingIsKeptPerPort) {
    int first = Open(1);
    int second = Open(2);
    EXPECT_EQ(bio_set_timeout(first, 250), 0);
    EXPECT_EQ(bio_get_timeout(first), 250);
    EXPECT_EQ(bio_get_timeout(second), 0);
    EXPECT_EQ(bio_set_timeout(second, -3), 0);
    EXPECT_EQ(bio_get_timeout(second), -3);
}

} // namespace
} // namespace biotest
