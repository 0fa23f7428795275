#include "platform/serial/device/memory_serial_device.h"

#include <algorithm>

#include "platform/core/clock.h"
#include "platform/serial/device/comm_types.h"

namespace platform {
namespace {

std::map<int, std::shared_ptr<MemorySerialDevice>>& Attached() {
    static std::map<int, std::shared_ptr<MemorySerialDevice>> devices;
    return devices;
}

// The platform clock counts whole milliseconds; a wait rounds up so that it
// always lets the clock move.
Milliseconds WholeMilliseconds(CommTime time) {
    return std::chrono::ceil<Milliseconds>(time);
}

} // namespace

MemorySerialDevice::MemorySerialDevice() {
    settings_.DCBlength = sizeof(DCB);
    settings_.BaudRate = CBR_9600;
    settings_.fBinary = 1;
    settings_.ByteSize = 8;
    settings_.Parity = NOPARITY;
    settings_.StopBits = ONESTOPBIT;
    settings_.XonChar = 0x11;
    settings_.XoffChar = 0x13;
}

void MemorySerialDevice::QueueInput(std::string_view bytes) {
    scriptEnd_ = std::max(scriptEnd_, Now());
    script_.push_back(Step{scriptEnd_, std::string(bytes), 0});
}

void MemorySerialDevice::QueuePause(std::chrono::milliseconds pause) {
    scriptEnd_ = std::max(scriptEnd_, Now()) + pause;
}

void MemorySerialDevice::QueueErrors(DWORD errors) {
    scriptEnd_ = std::max(scriptEnd_, Now());
    script_.push_back(Step{scriptEnd_, {}, errors});
}

std::size_t MemorySerialDevice::InputWaiting() {
    Arrive();
    return input_.size();
}

void MemorySerialDevice::FailCall(CommCall call, DWORD error, int times, int after) {
    failures_[call] = Failure{error, times, after};
}

DWORD MemorySerialDevice::Open() {
    DWORD refused = BeginCall(CommCall::Open);
    if (refused != ERROR_SUCCESS) {
        return refused;
    }
    if (open_) {
        return ERROR_SHARING_VIOLATION;
    }
    open_ = true;
    settingsBeforeOpen_ = settings_;
    return ERROR_SUCCESS;
}

DWORD MemorySerialDevice::BeginCall(CommCall call) {
    calls_.push_back(call);
    auto found = failures_.find(call);
    if (found == failures_.end()) {
        return ERROR_SUCCESS;
    }
    if (found->second.after > 0) {
        --found->second.after;
        return ERROR_SUCCESS;
    }
    DWORD error = found->second.error;
    if (found->second.times > 0 && --found->second.times == 0) {
        failures_.erase(found);
    }
    return error;
}

DWORD MemorySerialDevice::ReadSettings(DCB& dcb) {
    dcb = settings_;
    if (hasModemLines_) {
        dcb.fDtrControl = dtr_ ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        dcb.fRtsControl = rts_ ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    }
    return ERROR_SUCCESS;
}

DWORD MemorySerialDevice::ApplySettings(const DCB& dcb) {
    settings_ = dcb;
    applied_.push_back(dcb);
    return ERROR_SUCCESS;
}

DWORD MemorySerialDevice::Read(BYTE* buffer, std::size_t capacity, std::size_t& moved) {
    Arrive();
    moved = std::min(capacity, input_.size());
    std::copy_n(input_.begin(), moved, buffer);
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(moved));
    return ERROR_SUCCESS;
}

DWORD MemorySerialDevice::Write(const BYTE* data, std::size_t count, std::size_t& moved) {
    moved = outputRoom_ ? std::min(count, *outputRoom_) : count;
    if (outputSuspended_) {
        moved = 0;
    }
    output_.append(reinterpret_cast<const char*>(data), moved);
    if (outputRoom_) {
        *outputRoom_ -= moved;
    }
    return ERROR_SUCCESS;
}

DWORD MemorySerialDevice::Wait(WaitFor what, CommTime limit) {
    Arrive();
    if (what == WaitFor::Input) {
        if (!input_.empty()) {
            return ERROR_SUCCESS;
        }
        if (!script_.empty()) {
            limit = std::min(limit, NextStepTime() - Now());
        }
    } else if (!outputSuspended_ && (!outputRoom_ || *outputRoom_ > 0)) {
        return ERROR_SUCCESS;
    }
    if (limit > CommTime::zero()) {
        ClockSleep(WholeMilliseconds(limit));
    }
    Arrive();
    return ERROR_SUCCESS;
}

CommTime MemorySerialDevice::Now() {
    return std::chrono::duration_cast<CommTime>(ClockNow());
}

InputWatch MemorySerialDevice::WatchInput() {
    Arrive();
    InputWatch watch;
    watch.waiting = !input_.empty();
    if (!script_.empty()) {
        watch.nextArrival = NextStepTime();
    }
    return watch;
}

DWORD MemorySerialDevice::InputCount(DWORD& input) {
    Arrive();
    input = static_cast<DWORD>(input_.size());
    return ERROR_SUCCESS;
}

DWORD MemorySerialDevice::OutputCount(DWORD& output) {
    output = 0; // written bytes leave at once
    return ERROR_SUCCESS;
}

DWORD MemorySerialDevice::TakeErrors(DWORD& errors) {
    Arrive();
    errors = errors_;
    errors_ = 0;
    return ERROR_SUCCESS;
}

DWORD MemorySerialDevice::Purge(bool input, bool) {
    Arrive();
    if (input) {
        input_.clear();
    }
    return ERROR_SUCCESS;
}

DWORD MemorySerialDevice::ReadModemLines(DWORD& modemStatus) {
    if (!hasModemLines_) {
        return ERROR_NOT_SUPPORTED;
    }
    modemStatus = modemStatus_;
    return ERROR_SUCCESS;
}

DWORD MemorySerialDevice::SetOutputLine(OutputLine line, bool on) {
    if (!hasModemLines_) {
        return ERROR_NOT_SUPPORTED;
    }
    (line == OutputLine::Dtr ? dtr_ : rts_) = on;
    return ERROR_SUCCESS;
}

DWORD MemorySerialDevice::SetBreak(bool on) {
    if (!hasModemLines_) {
        return ERROR_NOT_SUPPORTED;
    }
    break_ = on;
    return ERROR_SUCCESS;
}

DWORD MemorySerialDevice::SuspendOutput(bool suspend) {
    outputSuspended_ = suspend;
    return ERROR_SUCCESS;
}

DWORD MemorySerialDevice::Close() {
    open_ = false;
    settings_ = settingsBeforeOpen_;
    return ERROR_SUCCESS;
}

void MemorySerialDevice::Arrive() {
    CommTime now = Now();
    while (!script_.empty() && script_.front().due <= now) {
        const Step& step = script_.front();
        input_.insert(input_.end(), step.bytes.begin(), step.bytes.end());
        errors_ |= step.errors;
        script_.pop_front();
    }
}

CommTime MemorySerialDevice::NextStepTime() {
    return script_.front().due;
}

void AttachMemorySerialDevice(int number, std::shared_ptr<MemorySerialDevice> device) {
    Attached()[number] = std::move(device);
}

void DetachMemorySerialDevice(int number) {
    Attached().erase(number);
}

std::shared_ptr<MemorySerialDevice> AttachedMemorySerialDevice(int number) {
    auto found = Attached().find(number);
    return found == Attached().end() ? nullptr : found->second;
}

} // namespace platform
