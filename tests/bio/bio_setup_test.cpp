// Line setup: validation codes and what a failed setup leaves recorded, the
// flow-control table and the option bits as DCB fields, the forced flags, and
// changing the rate.
#include <cstring>
#include <vector>

#include "bio_fixture.h"
#include "support/param_name.h"

namespace biotest {
namespace {

using SetupTest = BioTest;

struct Rejection {
    int parity, dataBits, stopBits, mode;
    int result;
};

class SetupRejectionTest : public BioTest, public testing::WithParamInterface<Rejection> {};

TEST_P(SetupRejectionTest, ARejectedSetupRecordsNothingAndTheRateCanStillBeChanged) {
    const Rejection& r = GetParam();
    int id = OpenReaderPort(9600);
    PortSlot* slot = bio_get_slot(id);
    DCB before = slot->currentLineSettings;
    std::size_t applied = Device(1).AppliedSettings().size();

    EXPECT_EQ(bio_setup_port(id, 4800, r.parity, r.dataBits, r.stopBits, r.mode, 0x40), r.result);

    // The slot and the line keep the last accepted setup.
    EXPECT_EQ(slot->baudRate, 9600u);
    EXPECT_EQ(slot->optionBits, 0u);
    EXPECT_EQ(slot->parityCode, 0);
    EXPECT_EQ(slot->dataBitsCode, 3);
    EXPECT_EQ(slot->stopBitsCode, 0);
    EXPECT_EQ(slot->flowControlMode, 4);
    EXPECT_EQ(std::memcmp(&slot->currentLineSettings, &before, sizeof(DCB)), 0);
    EXPECT_EQ(Device(1).AppliedSettings().size(), applied);
    EXPECT_EQ(bio_set_baudrate(id, 19200), 0);
    EXPECT_EQ(Device(1).Settings().BaudRate, 19200u);
}

INSTANTIATE_TEST_SUITE_P(Codes, SetupRejectionTest,
                         testing::Values(Rejection{5, 3, 0, 4, BIO_BAD_PARITY},
                                         Rejection{-1, 3, 0, 4, BIO_BAD_PARITY},
                                         Rejection{0, 4, 0, 4, BIO_BAD_DATA_BITS},
                                         Rejection{0, -1, 0, 4, BIO_BAD_DATA_BITS},
                                         Rejection{0, 3, 2, 4, BIO_BAD_STOP_BITS},
                                         Rejection{0, 3, -1, 4, BIO_BAD_STOP_BITS},
                                         Rejection{0, 3, 0, 16, BIO_BAD_FLOW_CONTROL},
                                         Rejection{0, 3, 0, -1, BIO_BAD_FLOW_CONTROL}),
                         [](const testing::TestParamInfo<Rejection>& info) {
                             const Rejection& r = info.param;
                             return testsupport::ParamName("parity", r.parity, "_data", r.dataBits,
                                                           "_stop", r.stopBits, "_mode", r.mode);
                         });

// Before any setup a rate alone does not say what the rest of the line is; after
// one, the rate changes and the recorded line stays.
TEST_F(SetupTest, SetBaudrateKeepsTheRecordedLine) {
    int id = Open(1);
    EXPECT_EQ(bio_set_baudrate(id, 19200), BIO_BAD_PARITY);
    EXPECT_TRUE(Device(1).AppliedSettings().empty());
    ASSERT_EQ(bio_setup_port(id, 9600, 2, 2, 1, 7, 0), 0);
    EXPECT_EQ(bio_set_baudrate(id, 19200), 0);
    const DCB& line = Device(1).Settings();
    EXPECT_EQ(line.BaudRate, 19200u);
    EXPECT_EQ(
        std::vector<DWORD>({line.Parity, line.ByteSize, line.StopBits, line.fInX, line.fOutX}),
        std::vector<DWORD>({EVENPARITY, 7, TWOSTOPBITS, 1, 1}));
    EXPECT_EQ(bio_get_slot(id)->currentLineSettings.BaudRate, 19200u);
}

TEST_F(SetupTest, LineCodesMapToDcbValues) {
    int id = Open(1);
    for (int parity = 0; parity <= 4; parity++) {
        ASSERT_EQ(bio_setup_port(id, 9600, parity, 3, 0, 4, 0), 0);
        EXPECT_EQ(Device(1).Settings().Parity, parity);
    }
    for (int dataBits = 1; dataBits <= 3; dataBits++) {
        for (int stopBits = 0; stopBits <= 1; stopBits++) {
            ASSERT_EQ(bio_setup_port(id, 9600, 0, dataBits, stopBits, 4, 0), 0);
            EXPECT_EQ(Device(1).Settings().ByteSize, 5 + dataBits);
            EXPECT_EQ(Device(1).Settings().StopBits, stopBits == 0 ? ONESTOPBIT : TWOSTOPBITS);
        }
    }
    ASSERT_EQ(bio_setup_port(id, 9600, 0, 0, 0, 4, 0), 0);
    EXPECT_EQ(Device(1).Settings().ByteSize, 5);
    // Five data bits with two stop bits is no line a UART can make: the port refuses it.
    EXPECT_EQ(bio_setup_port(id, 9600, 0, 0, 1, 4, 0), BIO_IO_FAILED);
    EXPECT_EQ(Device(1).Settings().StopBits, ONESTOPBIT);
}

struct FlowRow {
    int mode;
    DWORD rts, dtr, inX, ctsFlow, dsrFlow, outX;
};

class FlowControlTest : public BioTest, public testing::WithParamInterface<FlowRow> {};

TEST_P(FlowControlTest, ModeGivesItsRowOfDcbFields) {
    const FlowRow& row = GetParam();
    int id = Open(1);
    ASSERT_EQ(bio_setup_port(id, 9600, 0, 3, 0, row.mode, 0), 0);
    for (const DCB* line :
         {&Device(1).Settings(), static_cast<const DCB*>(&bio_get_slot(id)->currentLineSettings)}) {
        EXPECT_EQ(line->fRtsControl, row.rts);
        EXPECT_EQ(line->fDtrControl, row.dtr);
        EXPECT_EQ(line->fInX, row.inX);
        EXPECT_EQ(line->fOutxCtsFlow, row.ctsFlow);
        EXPECT_EQ(line->fOutxDsrFlow, row.dsrFlow);
        EXPECT_EQ(line->fOutX, row.outX);
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllSixteenModes, FlowControlTest,
    testing::Values(FlowRow{0, 2, 1, 0, 1, 0, 0}, FlowRow{1, 2, 1, 0, 0, 0, 1},
                    FlowRow{2, 2, 1, 0, 0, 1, 0}, FlowRow{3, 2, 1, 0, 0, 0, 0},
                    FlowRow{4, 1, 1, 0, 0, 0, 0}, FlowRow{5, 1, 1, 0, 0, 0, 1},
                    FlowRow{6, 1, 1, 1, 0, 0, 0}, FlowRow{7, 1, 1, 1, 0, 0, 1},
                    FlowRow{8, 1, 2, 0, 0, 0, 0}, FlowRow{9, 1, 2, 0, 1, 0, 0},
                    FlowRow{10, 1, 2, 0, 0, 1, 0}, FlowRow{11, 1, 2, 0, 0, 0, 1},
                    FlowRow{12, 1, 1, 0, 1, 0, 0}, FlowRow{13, 1, 1, 0, 0, 1, 0},
                    FlowRow{14, 1, 1, 1, 1, 0, 0}, FlowRow{15, 1, 1, 1, 0, 1, 0}),
    [](const testing::TestParamInfo<FlowRow>& info) {
        return testsupport::ParamName("mode", info.param.mode);
    });

struct OptionCase {
    int mode;
    int options;
    DWORD dtr, rts;
};

class OptionBitsTest : public BioTest, public testing::WithParamInterface<OptionCase> {};

// Before each case the port has DTR handshake and RTS handshake (mode 8 puts DTR
// at 2, then mode 3 with "keep" leaves it and sets RTS handshake), so "left as
// the port has them" is told apart from any mode's values.
TEST_P(OptionBitsTest, OptionBitsDecideDtrAndRts) {
    const OptionCase& c = GetParam();
    int id = Open(1);
    ASSERT_EQ(bio_setup_port(id, 9600, 0, 3, 0, 8, 0), 0);
    DCB handshakes = Device(1).Settings();
    handshakes.fRtsControl = RTS_CONTROL_HANDSHAKE;
    ASSERT_TRUE(SetCommState(bio_get_slot(id)->handle, &handshakes));

    ASSERT_EQ(bio_setup_port(id, 9600, 0, 3, 0, c.mode, c.options), 0);
    EXPECT_EQ(Device(1).Settings().fDtrControl, c.dtr);
    EXPECT_EQ(Device(1).Settings().fRtsControl, c.rts);
}

INSTANTIATE_TEST_SUITE_P(Table, OptionBitsTest,
                         testing::Values(OptionCase{4, 0x00, 1, 1}, OptionCase{0, 0x04, 0, 0},
                                         OptionCase{3, 0x10, 1, 3}, OptionCase{0, 0x14, 0, 0},
                                         OptionCase{4, 0x0C, 0, 0}, OptionCase{4, 0x1C, 0, 0},
                                         OptionCase{4, 0x08, 2, 2}, OptionCase{4, 0x18, 2, 2},
                                         OptionCase{9, 0x10, 2, 3}, OptionCase{4, 0x23, 1, 1}),
                         [](const testing::TestParamInfo<OptionCase>& info) {
                             return testsupport::ParamName("mode", info.param.mode, "_options",
                                                           info.param.options);
                         });

// The device starts with every flag the setup forces set the other way, and with
// values in the fields setup must leave alone, filled first with 0x00 and then
// with 0xFF.
TEST_F(SetupTest, SetupForcesItsFlagsAndKeepsEveryOtherField) {
    for (int fill : {0x00, 0xFF}) {
        SCOPED_TRACE(fill);
        DCB odd;
        std::memset(&odd, fill, sizeof odd);
        odd.BaudRate = 9600;
        odd.ByteSize = 8;
        odd.Parity = NOPARITY;
        odd.StopBits = ONESTOPBIT;
        odd.XonChar = 0x11;
        odd.XoffChar = 0x13;
        odd.fBinary = odd.fParity = odd.fTXContinueOnXoff = odd.fAbortOnError = 0;
        odd.fDsrSensitivity = odd.fErrorChar = odd.fNull = 1;
        odd.XonLim = 1234;
        odd.XoffLim = 567;
        odd.ErrorChar = '?';
        odd.EofChar = 0x1A;
        odd.EvtChar = 'E';
        Device(1).SetSettings(odd);
        int id = Open(1);
        ASSERT_EQ(bio_setup_port(id, 19200, 0, 3, 0, 4, 0), 0);
        const DCB& line = Device(1).Settings();
        EXPECT_EQ(std::vector<DWORD>({line.fBinary, line.fParity, line.fTXContinueOnXoff,
                                      line.fAbortOnError, line.fDsrSensitivity, line.fErrorChar,
                                      line.fNull}),
                  std::vector<DWORD>({1, 1, 1, 1, 0, 0, 0}));
        EXPECT_EQ(std::vector<int>(
                      {line.XonLim, line.XoffLim, line.ErrorChar, line.EofChar, line.EvtChar}),
                  std::vector<int>({1234, 567, '?', 0x1A, 'E'}));
        EXPECT_EQ(line.fDummy2, odd.fDummy2);
        bio_close_port(id);
    }
}

TEST_F(SetupTest, PlatformFailuresGiveIoFailedAndKeepTheLastSetup) {
    int id = OpenReaderPort(9600);
    DCB before = bio_get_slot(id)->currentLineSettings;
    Device(1).FailCall(CommCall::GetState, ERROR_GEN_FAILURE);
    EXPECT_EQ(bio_setup_port(id, 19200, 0, 3, 0, 4, 0), BIO_IO_FAILED);
    Device(1).FailCall(CommCall::SetState, ERROR_GEN_FAILURE);
    EXPECT_EQ(bio_setup_port(id, 19200, 0, 3, 0, 4, 0), BIO_IO_FAILED);
    EXPECT_EQ(std::memcmp(&bio_get_slot(id)->currentLineSettings, &before, sizeof(DCB)), 0);
    EXPECT_EQ(Device(1).Settings().BaudRate, 9600u);
    EXPECT_NE(bio_get_slot(id), nullptr); // the port stays open
}

} // namespace
} // namespace biotest
