#include "platform/serial/tty/serial_termios.h"

#include <array>
#include <utility>

#include "platform/serial/device/comm_types.h"

namespace platform {
namespace {

constexpr std::array<std::pair<DWORD, speed_t>, 31> kStandardRates{{
    {50, B50},
    {75, B75},
    {110, B110},
    {134, B134},
    {150, B150},
    {200, B200},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {1800, B1800},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
    {460800, B460800},
    {500000, B500000},
    {576000, B576000},
    {921600, B921600},
    {1000000, B1000000},
    {1152000, B1152000},
    {1500000, B1500000},
    {2000000, B2000000},
    {2500000, B2500000},
    {3000000, B3000000},
    {3500000, B3500000},
    {4000000, B4000000},
    {0, B0},
}};

tcflag_t SizeFlag(BYTE byteSize) {
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

BYTE ByteSizeOf(tcflag_t controlFlags) {
    switch (controlFlags & CSIZE) {
    case CS5:
        return 5;
    case CS6:
        return 6;
    case CS7:
        return 7;
    default:
        return 8;
    }
}

tcflag_t ParityFlags(BYTE parity) {
    switch (parity) {
    case ODDPARITY:
        return PARENB | PARODD;
    case EVENPARITY:
        return PARENB;
    case MARKPARITY:
        return PARENB | CMSPAR | PARODD;
    case SPACEPARITY:
        return PARENB | CMSPAR;
    default:
        return 0;
    }
}

BYTE ParityOf(tcflag_t controlFlags) {
    if ((controlFlags & PARENB) == 0) {
        return NOPARITY;
    }
    bool odd = (controlFlags & PARODD) != 0;
    if ((controlFlags & CMSPAR) != 0) {
        return odd ? MARKPARITY : SPACEPARITY;
    }
    return odd ? ODDPARITY : EVENPARITY;
}

void SetFlag(tcflag_t& flags, tcflag_t flag, bool on) {
    flags = on ? (flags | flag) : (flags & ~flag);
}

} // namespace

std::optional<speed_t> SpeedCodeForRate(DWORD rate) {
    for (const auto& [standardRate, code] : kStandardRates) {
        if (standardRate == rate && rate != 0) {
            return code;
        }
    }
    return std::nullopt;
}

std::optional<DWORD> RateForSpeedCode(speed_t code) {
    for (const auto& [rate, standardCode] : kStandardRates) {
        if (standardCode == code) {
            return rate;
        }
    }
    return std::nullopt;
}

void MakeRaw(termios& settings) {
    settings.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                          IUCLC | IXANY | IMAXBEL);
    settings.c_oflag &= ~OPOST;
    settings.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOKE | ICANON | ISIG |
                          IEXTEN | NOFLSH | TOSTOP);
    settings.c_cflag |= CREAD | CLOCAL;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
}

void WriteLineSettings(const DCB& dcb, termios& settings) {
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    settings.c_cflag |= SizeFlag(dcb.ByteSize) | ParityFlags(dcb.Parity);
    SetFlag(settings.c_cflag, CSTOPB, dcb.StopBits != ONESTOPBIT);
    SetFlag(settings.c_cflag, CRTSCTS,
            dcb.fOutxCtsFlow != 0 || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE);
    SetFlag(settings.c_iflag, INPCK, dcb.fParity != 0 && dcb.Parity != NOPARITY);
    SetFlag(settings.c_iflag, IXON, dcb.fOutX != 0);
    SetFlag(settings.c_iflag, IXOFF, dcb.fInX != 0);
    settings.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    settings.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
}

void ReadLineSettings(const termios& settings, DCB& dcb) {
    dcb.ByteSize = ByteSizeOf(settings.c_cflag);
    dcb.Parity = ParityOf(settings.c_cflag);
    bool twoStopBits = (settings.c_cflag & CSTOPB) != 0;
    // With five data bits a UART sends one and a half stop bits for CSTOPB.
    dcb.StopBits = !twoStopBits ? ONESTOPBIT : (dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS);
    dcb.fOutxCtsFlow = (settings.c_cflag & CRTSCTS) != 0 ? 1 : 0;
    dcb.fOutX = (settings.c_iflag & IXON) != 0 ? 1 : 0;
    dcb.fInX = (settings.c_iflag & IXOFF) != 0 ? 1 : 0;
    dcb.XonChar = static_cast<char>(settings.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(settings.c_cc[VSTOP]);
}

} // namespace platform
