// Time-outs, line errors and queue counts, purging, and the modem lines.
#include "platform/core/system.h"
#include "platform/serial/comm.h"
#include "platform/serial/comm_port.h"

namespace platform {
namespace {

DWORD Escape(CommPort& port, DWORD function) {
    SerialDevice& device = port.Device();
    switch (function) {
    case SETXOFF:
        return device.SuspendOutput(true);
    case SETXON:
        return device.SuspendOutput(false);
    case SETRTS:
        return device.SetOutputLine(OutputLine::Rts, true);
    case CLRRTS:
        return device.SetOutputLine(OutputLine::Rts, false);
    case SETDTR:
        return device.SetOutputLine(OutputLine::Dtr, true);
    case CLRDTR:
        return device.SetOutputLine(OutputLine::Dtr, false);
    case SETBREAK:
        return device.SetBreak(true);
    case CLRBREAK:
        return device.SetBreak(false);
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

// The device's queue counts and the line errors it saw, for ClearCommError.
// While the receive buffer gives the count alone, the receive side is not asked.
DWORD CountQueues(CommPort& port, DWORD& input, DWORD& output, DWORD& errors) {
    SerialDevice& device = port.Device();
    if (!port.received.AnswersCount()) {
        DWORD error = device.InputCount(input);
        if (error == ERROR_SUCCESS) {
            error = device.TakeErrors(errors);
        }
        if (error != ERROR_SUCCESS) {
            return error;
        }
    }
    return device.OutputCount(output);
}

} // namespace
} // namespace platform

BOOL GetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts) {
    platform::CommPort* port = platform::BeginPortCall(handle, platform::CommCall::GetTimeouts);
    if (port == nullptr) {
        return FALSE;
    }
    if (timeouts == nullptr) {
        return platform::Fail(ERROR_INVALID_PARAMETER);
    }
    *timeouts = port->timeouts;
    return TRUE;
}

BOOL SetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts) {
    platform::CommPort* port = platform::BeginPortCall(handle, platform::CommCall::SetTimeouts);
    if (port == nullptr) {
        return FALSE;
    }
    if (timeouts == nullptr) {
        return platform::Fail(ERROR_INVALID_PARAMETER);
    }
    port->timeouts = *timeouts;
    return TRUE;
}

BOOL ClearCommError(HANDLE handle, LPDWORD errors, LPCOMSTAT status) {
    platform::CommPort* port = platform::BeginPortCall(handle, platform::CommCall::ClearError);
    if (port == nullptr) {
        return FALSE;
    }
    DWORD input = 0;
    DWORD output = 0;
    DWORD seen = 0;
    DWORD error = platform::CountQueues(*port, input, output, seen);
    if (error != ERROR_SUCCESS) {
        port->pendingErrors |= seen;
        return platform::Fail(error);
    }
    seen |= port->pendingErrors;
    port->pendingErrors = 0;
    if (errors != nullptr) {
        *errors = seen;
    }
    if (status != nullptr) {
        *status = COMSTAT{};
        status->cbInQue = input + static_cast<DWORD>(port->received.Size());
        status->cbOutQue = output;
    }
    return TRUE;
}

BOOL PurgeComm(HANDLE handle, DWORD flags) {
    platform::CommPort* port = platform::BeginPortCall(handle, platform::CommCall::Purge);
    if (port == nullptr) {
        return FALSE;
    }
    constexpr DWORD known = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
    if ((flags & ~known) != 0) {
        return platform::Fail(ERROR_INVALID_PARAMETER);
    }
    bool input = (flags & PURGE_RXCLEAR) != 0;
    bool output = (flags & PURGE_TXCLEAR) != 0;
    if (input) {
        port->received.Clear();
    }
    DWORD error = port->Device().Purge(input, output);
    return error == ERROR_SUCCESS ? TRUE : platform::Fail(error);
}

BOOL GetCommModemStatus(HANDLE handle, LPDWORD modemStatus) {
    platform::CommPort* port = platform::BeginPortCall(handle, platform::CommCall::ModemStatus);
    if (port == nullptr) {
        return FALSE;
    }
    if (modemStatus == nullptr) {
        return platform::Fail(ERROR_INVALID_PARAMETER);
    }
    DWORD lines = 0;
    DWORD error = port->Device().ReadModemLines(lines);
    if (error == ERROR_NOT_SUPPORTED) {
        port->Note("no-modem-status", "the device has no modem lines to read");
    }
    if (error != ERROR_SUCCESS) {
        return platform::Fail(error);
    }
    *modemStatus = lines;
    return TRUE;
}

BOOL EscapeCommFunction(HANDLE handle, DWORD function) {
    platform::CommPort* port = platform::BeginPortCall(handle, platform::CommCall::Escape);
    if (port == nullptr) {
        return FALSE;
    }
    DWORD error = platform::Escape(*port, function);
    if (error == ERROR_NOT_SUPPORTED) {
        port->Note("no-modem-escape", "the device has no modem lines; DTR, RTS and break "
                                      "cannot be driven");
    }
    return error == ERROR_SUCCESS ? TRUE : platform::Fail(error);
}
