// The DCB <-> termios mapping, without a device.
#include <gtest/gtest.h>

#include "platform/serial/comm.h"
#include "platform/serial/tty/serial_termios.h"
#include "support/param_name.h"

namespace {

struct LineCase {
    BYTE byteSize, parity, stopBits;
    bool ctsFlow, outX, inX;
};

class LineSettingsTest : public testing::TestWithParam<LineCase> {};

TEST_P(LineSettingsTest, RoundTripsThroughTermios) {
    const LineCase& c = GetParam();
    DCB asked{};
    asked.ByteSize = c.byteSize;
    asked.Parity = c.parity;
    asked.StopBits = c.stopBits;
    asked.fOutxCtsFlow = c.ctsFlow;
    asked.fOutX = c.outX;
    asked.fInX = c.inX;
    asked.fParity = 1;
    asked.XonChar = 0x11;
    asked.XoffChar = 0x13;
    termios settings{};
    platform::WriteLineSettings(asked, settings);
    DCB back{};
    platform::ReadLineSettings(settings, back);
    EXPECT_EQ(back.ByteSize, c.byteSize);
    EXPECT_EQ(back.Parity, c.parity);
    EXPECT_EQ(back.StopBits, c.stopBits);
    EXPECT_EQ(back.fOutxCtsFlow, c.ctsFlow ? 1u : 0u);
    EXPECT_EQ(back.fOutX, c.outX ? 1u : 0u);
    EXPECT_EQ(back.fInX, c.inX ? 1u : 0u);
    EXPECT_EQ(back.XonChar, 0x11);
    EXPECT_EQ(back.XoffChar, 0x13);
    EXPECT_EQ((settings.c_iflag & INPCK) != 0, c.parity != NOPARITY);
}

INSTANTIATE_TEST_SUITE_P(Lines, LineSettingsTest,
                         testing::Values(LineCase{8, NOPARITY, ONESTOPBIT, false, false, false},
                                         LineCase{7, EVENPARITY, TWOSTOPBITS, false, true, true},
                                         LineCase{7, ODDPARITY, ONESTOPBIT, true, false, false},
                                         LineCase{8, MARKPARITY, ONESTOPBIT, false, false, true},
                                         LineCase{6, SPACEPARITY, TWOSTOPBITS, false, true, false},
                                         LineCase{5, NOPARITY, ONE5STOPBITS, false, false, false},
                                         LineCase{5, EVENPARITY, ONESTOPBIT, false, false, false}),
                         [](const testing::TestParamInfo<LineCase>& info) {
                             const LineCase& c = info.param;
                             return testsupport::ParamName(int(c.byteSize), "bits_parity",
                                                           int(c.parity), "_stop", int(c.stopBits));
                         });

TEST(SerialTermiosTest, RawModeKeepsTheLineAndDropsAllProcessing) {
    termios settings{};
    settings.c_iflag = ICRNL | IXON | INPCK | BRKINT | IGNCR;
    settings.c_oflag = OPOST | ONLCR;
    settings.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    settings.c_cflag = CS7 | PARENB | CSTOPB | CRTSCTS | HUPCL;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 5;
    platform::MakeRaw(settings);
    EXPECT_EQ(settings.c_iflag, static_cast<tcflag_t>(IXON | INPCK));
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(settings.c_cflag,
              static_cast<tcflag_t>(CS7 | PARENB | CSTOPB | CRTSCTS | HUPCL | CREAD | CLOCAL));
    EXPECT_EQ(settings.c_cc[VMIN], 0);
    EXPECT_EQ(settings.c_cc[VTIME], 0);
}

} // namespace
