// ReadFile and WriteFile on a serial port: synchronous transfers that end when
// the count is complete or the port's time-outs say so. Waiting happens in the
// device (poll() on a tty), bounded by the deadline; nothing sleeps blindly.
#include <algorithm>
#include <optional>

#include "platform/core/system.h"
#include "platform/serial/comm.h"
#include "platform/serial/comm_port.h"

namespace platform {
namespace {

using std::chrono::milliseconds;

// With no deadline a transfer waits in slices, so it still notices a device
// that went away.
constexpr CommTime kWaitSlice = milliseconds(1000);

struct ReadPlan {
    std::optional<CommTime> total;    // whole-call limit, from the start
    std::optional<CommTime> interval; // limit between bytes, once one has come
    bool returnOnAny = false;         // return as soon as any byte is there
};

// The device's reading of COMMTIMEOUTS: MAXDWORD interval with zero totals
// returns at once; MAXDWORD interval and multiplier with a constant waits that
// long for the first byte only; otherwise the total limit is multiplier times
// count plus constant (none when both are zero), and a non-zero interval limits
// the gap between bytes.
ReadPlan PlanRead(const COMMTIMEOUTS& timeouts, DWORD count) {
    ReadPlan plan;
    DWORD interval = timeouts.ReadIntervalTimeout;
    DWORD multiplier = timeouts.ReadTotalTimeoutMultiplier;
    DWORD constant = timeouts.ReadTotalTimeoutConstant;
    if (interval == MAXDWORD && multiplier == 0 && constant == 0) {
        plan.total = CommTime::zero();
        return plan;
    }
    if (interval == MAXDWORD && multiplier == MAXDWORD && constant != 0 && constant != MAXDWORD) {
        plan.total = milliseconds(constant);
        plan.returnOnAny = true;
        return plan;
    }
    if (multiplier != 0 || constant != 0) {
        plan.total = milliseconds(std::uint64_t{multiplier} * count + constant);
    }
    if (interval != 0 && interval != MAXDWORD) {
        plan.interval = milliseconds(interval);
    }
    return plan;
}

std::optional<CommTime> WriteLimit(const COMMTIMEOUTS& timeouts, DWORD count) {
    DWORD multiplier = timeouts.WriteTotalTimeoutMultiplier;
    DWORD constant = timeouts.WriteTotalTimeoutConstant;
    if (multiplier == 0 && constant == 0) {
        return std::nullopt;
    }
    return milliseconds(std::uint64_t{multiplier} * count + constant);
}

// With fAbortOnError, transfers stop while line errors wait for ClearCommError. A
// read that the receive buffer serves does not ask the device: the errors it saw
// are collected with the next bytes it hands over.
DWORD CheckAbort(CommPort& port, CommCall call) {
    if (port.settings.fAbortOnError == 0) {
        return ERROR_SUCCESS;
    }
    if (call == CommCall::Write || port.received.Size() == 0) {
        DWORD errors = 0;
        DWORD error = port.Device().TakeErrors(errors);
        port.pendingErrors |= errors;
        if (error != ERROR_SUCCESS) {
            return error;
        }
    }
    return port.pendingErrors != 0 ? ERROR_OPERATION_ABORTED : ERROR_SUCCESS;
}

// The time until the read must end, or nothing when it may go on without limit.
std::optional<CommTime> TimeLeft(const ReadPlan& plan, CommTime start, CommTime lastByte,
                                 bool anyByte, CommTime now) {
    std::optional<CommTime> end;
    if (plan.total) {
        end = start + *plan.total;
    }
    if (plan.interval && anyByte) {
        end = end ? std::min(*end, lastByte + *plan.interval) : lastByte + *plan.interval;
    }
    if (!end) {
        return std::nullopt;
    }
    return std::max(*end - now, CommTime::zero());
}

DWORD ReadBytes(CommPort& port, BYTE* destination, DWORD count, DWORD& moved) {
    // The common case first: the buffer holds every byte asked for.
    moved += static_cast<DWORD>(port.received.Take(destination, count));
    if (moved == count) {
        return ERROR_SUCCESS;
    }
    SerialDevice& device = port.Device();
    ReadPlan plan = PlanRead(port.timeouts, count);
    CommTime start = device.Now();
    CommTime lastByte = start;
    for (;;) {
        if (plan.returnOnAny && moved > 0) {
            return ERROR_SUCCESS;
        }
        std::size_t added = 0;
        DWORD error = port.received.Fill(device, added);
        if (error != ERROR_SUCCESS) {
            return error;
        }
        CommTime now = device.Now();
        if (added > 0) {
            lastByte = now;
            moved += static_cast<DWORD>(port.received.Take(destination + moved, count - moved));
            if (moved == count) {
                return ERROR_SUCCESS;
            }
            continue;
        }
        std::optional<CommTime> left = TimeLeft(plan, start, lastByte, moved > 0, now);
        if (left && *left == CommTime::zero()) {
            return ERROR_SUCCESS;
        }
        error = device.Wait(WaitFor::Input, left ? std::min(*left, kWaitSlice) : kWaitSlice);
        if (error != ERROR_SUCCESS) {
            return error;
        }
    }
}

DWORD WriteBytes(CommPort& port, const BYTE* data, DWORD count, DWORD& moved) {
    SerialDevice& device = port.Device();
    std::optional<CommTime> limit = WriteLimit(port.timeouts, count);
    CommTime end = device.Now() + limit.value_or(CommTime::zero());
    while (moved < count) {
        std::size_t written = 0;
        DWORD error = device.Write(data + moved, count - moved, written);
        if (error != ERROR_SUCCESS) {
            return error;
        }
        moved += static_cast<DWORD>(written);
        if (written > 0) {
            continue;
        }
        // Nothing more goes to a device that went away: the count written so
        // far is the answer now, not after the time-out.
        if (device.Gone()) {
            return ERROR_SUCCESS;
        }
        CommTime now = device.Now();
        if (limit && now >= end) {
            return ERROR_SUCCESS;
        }
        error = device.Wait(WaitFor::Output, limit ? std::min(end - now, kWaitSlice) : kWaitSlice);
        if (error != ERROR_SUCCESS) {
            return error;
        }
    }
    return ERROR_SUCCESS;
}

// Common checks of both transfers; returns the port or nullptr with the error set.
CommPort* BeginTransfer(HANDLE file, CommCall call, const void* buffer, DWORD count, LPDWORD moved,
                        LPVOID overlapped) {
    if (moved != nullptr) {
        *moved = 0;
    }
    CommPort* port = BeginPortCall(file, call);
    if (port == nullptr) {
        return nullptr;
    }
    DWORD error = ERROR_SUCCESS;
    if (moved == nullptr || overlapped != nullptr || (buffer == nullptr && count != 0)) {
        error = ERROR_INVALID_PARAMETER;
    } else if (!(call == CommCall::Read ? port->MayRead() : port->MayWrite())) {
        error = ERROR_ACCESS_DENIED;
    } else {
        error = CheckAbort(*port, call);
    }
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return nullptr;
    }
    return port;
}

} // namespace
} // namespace platform

// A fault after some bytes moved reports those bytes; the fault shows again on
// the next call, so nothing received is dropped by reporting it.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD bytesRead, LPVOID overlapped) {
    platform::CommPort* port = platform::BeginTransfer(file, platform::CommCall::Read, buffer,
                                                       count, bytesRead, overlapped);
    if (port == nullptr) {
        return FALSE;
    }
    DWORD error = platform::ReadBytes(*port, static_cast<BYTE*>(buffer), count, *bytesRead);
    return error == ERROR_SUCCESS || *bytesRead > 0 ? TRUE : platform::Fail(error);
}

BOOL WriteFile(HANDLE file, LPCVOID data, DWORD count, LPDWORD bytesWritten, LPVOID overlapped) {
    platform::CommPort* port = platform::BeginTransfer(file, platform::CommCall::Write, data, count,
                                                       bytesWritten, overlapped);
    if (port == nullptr) {
        return FALSE;
    }
    DWORD error = platform::WriteBytes(*port, static_cast<const BYTE*>(data), count, *bytesWritten);
    return error == ERROR_SUCCESS || *bytesWritten > 0 ? TRUE : platform::Fail(error);
}
