// GetCommState and SetCommState: what a DCB asks of the line, what the host can
// give, and what it says about the rest.
#include "platform/core/system.h"
#include "platform/serial/comm.h"
#include "platform/serial/comm_port.h"

namespace platform {
namespace {

bool ValidSettings(const DCB& dcb) {
    if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
        dcb.StopBits > TWOSTOPBITS || dcb.fDtrControl > DTR_CONTROL_HANDSHAKE) {
        return false;
    }
    // One and a half stop bits exist only with five data bits, two only without.
    if ((dcb.StopBits == ONE5STOPBITS && dcb.ByteSize != 5) ||
        (dcb.StopBits == TWOSTOPBITS && dcb.ByteSize == 5)) {
        return false;
    }
    bool xonXoff = dcb.fOutX != 0 || dcb.fInX != 0;
    return !(xonXoff && dcb.XonChar == dcb.XoffChar);
}

// The fields the device reports itself; GetCommState takes them from it.
void CopyLineFields(const DCB& from, DCB& to) {
    to.BaudRate = from.BaudRate;
    to.ByteSize = from.ByteSize;
    to.Parity = from.Parity;
    to.StopBits = from.StopBits;
    to.fOutxCtsFlow = from.fOutxCtsFlow;
    to.fOutX = from.fOutX;
    to.fInX = from.fInX;
    to.XonChar = from.XonChar;
    to.XoffChar = from.XoffChar;
}

// Features of the DCB that have no counterpart on this host. They stay in the
// DCB that GetCommState returns; the port says once that they have no effect.
void NoteUnavailable(CommPort& port, const DCB& dcb) {
    if (dcb.fOutxDsrFlow != 0) {
        port.Note("dsr-flow", "DSR output flow control is not available; output ignores DSR");
    }
    if (dcb.fDsrSensitivity != 0) {
        port.Note("dsr-sensitivity", "DSR sensitivity is not available; input ignores DSR");
    }
    if (dcb.fErrorChar != 0) {
        port.Note("error-char", "the error character is not available; bytes received with a "
                                "parity error arrive as zero bytes");
    }
    if (dcb.fNull != 0) {
        port.Note("null", "discarding zero bytes is not available; they are delivered");
    }
    if (dcb.fOutxCtsFlow != 0 && dcb.fRtsControl != RTS_CONTROL_HANDSHAKE) {
        port.Note("cts-rts", "CTS output flow control also drives RTS for input on this host");
    }
    if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE && dcb.fOutxCtsFlow == 0) {
        port.Note("rts-cts", "RTS handshake also holds output while CTS is off on this host");
    }
}

// DTR and RTS as the DCB's control values ask. RTS handshake is the driver's
// (CTS flow control drives RTS); DTR handshake and RTS toggle do not exist here.
DWORD DriveOutputLines(CommPort& port, const DCB& dcb) {
    SerialDevice& device = port.Device();
    if (!device.HasModemLines()) {
        port.Note("no-modem-lines", "the device has no modem lines; DTR and RTS are not driven");
        return ERROR_SUCCESS;
    }
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE) {
        port.Note("dtr-handshake", "DTR handshake is not available; DTR is held on");
    }
    DWORD error = device.SetOutputLine(OutputLine::Dtr, dcb.fDtrControl != DTR_CONTROL_DISABLE);
    if (error != ERROR_SUCCESS || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) {
        return error;
    }
    if (dcb.fRtsControl == RTS_CONTROL_TOGGLE) {
        port.Note("rts-toggle", "RTS toggle is not available; RTS is held off");
    }
    return device.SetOutputLine(OutputLine::Rts, dcb.fRtsControl == RTS_CONTROL_ENABLE);
}

// A driver may keep a setting it cannot make (a pseudo-terminal stays at eight
// data bits without parity; a UART rounds an odd rate). Say so, since
// GetCommState will show the device's value rather than the one asked.
void NoteKeptSettings(CommPort& port, const DCB& asked) {
    DCB actual{};
    if (port.Device().ReadSettings(actual) != ERROR_SUCCESS) {
        return;
    }
    auto say = [&](const char* topic, const char* what, DWORD kept, DWORD wanted) {
        if (kept != wanted) {
            port.Note(topic, std::string("the device keeps ") + what + " " + std::to_string(kept) +
                                 " where " + std::to_string(wanted) + " was asked");
        }
    };
    say("kept-rate", "rate", actual.BaudRate, asked.BaudRate);
    say("kept-size", "data bits", actual.ByteSize, asked.ByteSize);
    say("kept-parity", "parity code", actual.Parity, asked.Parity);
    say("kept-stop", "stop-bits code", actual.StopBits, asked.StopBits);
}

} // namespace
} // namespace platform

BOOL GetCommState(HANDLE handle, LPDCB dcb) {
    platform::CommPort* port = platform::BeginPortCall(handle, platform::CommCall::GetState);
    if (port == nullptr) {
        return FALSE;
    }
    if (dcb == nullptr) {
        return platform::Fail(ERROR_INVALID_PARAMETER);
    }
    DCB actual{};
    DWORD error = port->Device().ReadSettings(actual);
    if (error != ERROR_SUCCESS) {
        return platform::Fail(error);
    }
    *dcb = port->settings;
    platform::CopyLineFields(actual, *dcb);
    return TRUE;
}

BOOL SetCommState(HANDLE handle, LPDCB dcb) {
    platform::CommPort* port = platform::BeginPortCall(handle, platform::CommCall::SetState);
    if (port == nullptr) {
        return FALSE;
    }
    if (dcb == nullptr || !platform::ValidSettings(*dcb)) {
        return platform::Fail(ERROR_INVALID_PARAMETER);
    }
    DWORD error = port->Device().ApplySettings(*dcb);
    if (error == ERROR_SUCCESS) {
        error = platform::DriveOutputLines(*port, *dcb);
    }
    if (error != ERROR_SUCCESS) {
        return platform::Fail(error);
    }
    port->settings = *dcb;
    platform::NoteUnavailable(*port, *dcb);
    platform::NoteKeptSettings(*port, *dcb);
    return TRUE;
}
