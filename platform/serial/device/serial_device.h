// Inside the platform: the narrow interface between the serial calls of platform/serial/comm.h
// and what stands at the end of a port. The calls own everything that is the
// device's behaviour as programs see it (time-outs, the receive buffer, error
// collection, what a DCB means); a device only moves bytes and settings. Two
// devices exist: a tty (platform/serial/tty/serial_tty.cpp) and the in-memory device for tests.
//
// Every operation returns ERROR_SUCCESS or the Win32 error code to report.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "platform/core/handle_table.h"
#include "platform/core/types.h"

namespace platform {

// The serial calls, as a device may be asked to refuse them (see BeginCall).
enum class CommCall {
    Open,
    Setup,
    GetState,
    SetState,
    GetTimeouts,
    SetTimeouts,
    ClearError,
    Purge,
    Read,
    Write,
    ModemStatus,
    Escape,
    Close,
};

// Time on a device's clock. Microseconds, because the time-outs that matter
// here are a millisecond long.
using CommTime = std::chrono::microseconds;

enum class WaitFor { Input, Output };
enum class OutputLine { Dtr, Rts };

class SerialDevice {
  public:
    virtual ~SerialDevice() = default;

    // How debug lines name the device: its path, or "memory device".
    virtual std::string Name() const = 0;

    // Called at the start of every serial call on the port. A tty accepts all;
    // the in-memory device records the call and fails it when a test asked so.
    virtual DWORD BeginCall(CommCall) { return ERROR_SUCCESS; }

    // Line settings: rate, data bits, parity, stop bits, CTS output flow, XON/XOFF
    // in and out with their characters. ReadSettings also fills DTR/RTS control
    // from the state of the lines, where the device has them.
    virtual DWORD ReadSettings(DCB& dcb) = 0;
    virtual DWORD ApplySettings(const DCB& dcb) = 0;

    // Moves what can move now, without waiting; `moved` gets the count.
    virtual DWORD Read(BYTE* buffer, std::size_t capacity, std::size_t& moved) = 0;
    virtual DWORD Write(const BYTE* data, std::size_t count, std::size_t& moved) = 0;

    // Waits until input is waiting or output can be accepted, or the time is up.
    // Returns ERROR_SUCCESS in both cases (the caller looks again), or an error
    // when the device is gone.
    virtual DWORD Wait(WaitFor what, CommTime limit) = 0;

    // The clock the time-outs count on: the steady clock for a tty; the
    // platform's clock (manual in tests) for the in-memory device.
    virtual CommTime Now() = 0;

    virtual InputWatch WatchInput() = 0;

    // True while the device went away and is being looked for again: nothing
    // can move through it meanwhile.
    virtual bool Gone() { return false; }

    // Bytes in the device's receive queue, and in its transmit queue.
    virtual DWORD InputCount(DWORD& input) = 0;
    virtual DWORD OutputCount(DWORD& output) = 0;

    // Line errors (CE_ bits) seen since the last call.
    virtual DWORD TakeErrors(DWORD& errors) = 0;

    virtual DWORD Purge(bool input, bool output) = 0;

    // Modem lines. Without them, the three calls below give ERROR_NOT_SUPPORTED.
    virtual bool HasModemLines() = 0;
    virtual DWORD ReadModemLines(DWORD& modemStatus) = 0; // MS_ bits
    virtual DWORD SetOutputLine(OutputLine line, bool on) = 0;
    virtual DWORD SetBreak(bool on) = 0;

    // Stops or restarts output as a received XOFF or XON would.
    virtual DWORD SuspendOutput(bool suspend) = 0;

    // Puts back the settings the device had before it was opened and releases it.
    virtual DWORD Close() = 0;
};

} // namespace platform
