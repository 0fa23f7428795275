// Test seam: a serial device in memory, attachable as "COMn:". It produces what a
// real port cannot produce on demand: input arriving on a script (bytes, pauses,
// line errors such as a receive-queue overflow), output that stops being taken,
// modem-line states, and calls that fail. The serial calls of platform/serial/comm.h run their
// normal path against it; only the device at the end differs from a tty.
//
// Time is the platform clock's (platform/core/clock.h): with the manual clock a pause
// passes as soon as a read waits for it, so scripted timing is exact and fast.
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/serial/device/serial_device.h"

namespace platform {

class MemorySerialDevice final : public SerialDevice {
  public:
    MemorySerialDevice();

    // --- Input script. Each step happens after the steps queued before it.
    void QueueInput(std::string_view bytes);
    void QueuePause(std::chrono::milliseconds pause);
    // Line errors (CE_ bits) seen at this point of the stream.
    void QueueErrors(DWORD errors);
    // Bytes that have arrived and not been read or purged.
    std::size_t InputWaiting();

    // --- Output.
    const std::string& Output() const { return output_; }
    void ClearOutput() { output_.clear(); }
    // Takes only `bytes` more bytes; further writes wait for their time-out.
    void LimitOutput(std::size_t bytes) { outputRoom_ = bytes; }
    void UnlimitOutput() { outputRoom_.reset(); }

    // --- Modem lines. A device without them behaves as a pseudo-terminal does.
    void SetModemLines(bool present) { hasModemLines_ = present; }
    void SetModemStatus(DWORD modemStatus) { modemStatus_ = modemStatus; }
    bool Dtr() const { return dtr_; }
    bool Rts() const { return rts_; }
    bool BreakOn() const { return break_; }
    bool OutputSuspended() const { return outputSuspended_; }

    // --- Failures: after `after` more calls of that kind succeed, the next
    // `times` fail with `error` (times -1: every call until ClearFailures).
    void FailCall(CommCall call, DWORD error, int times = 1, int after = 0);
    void ClearFailures() { failures_.clear(); }

    // --- What happened.
    const std::vector<CommCall>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    bool IsOpen() const { return open_; }
    // The line settings as the device holds them (applied, or as it started).
    const DCB& Settings() const { return settings_; }
    void SetSettings(const DCB& settings) { settings_ = settings; }
    // Every DCB applied since the device was made, in order.
    const std::vector<DCB>& AppliedSettings() const { return applied_; }

    // Opens the device for a port; ERROR_SHARING_VIOLATION while already open.
    DWORD Open();

    std::string Name() const override { return "memory device"; }
    DWORD BeginCall(CommCall call) override;
    DWORD ReadSettings(DCB& dcb) override;
    DWORD ApplySettings(const DCB& dcb) override;
    DWORD Read(BYTE* buffer, std::size_t capacity, std::size_t& moved) override;
    DWORD Write(const BYTE* data, std::size_t count, std::size_t& moved) override;
    DWORD Wait(WaitFor what, CommTime limit) override;
    CommTime Now() override;
    InputWatch WatchInput() override;
    DWORD InputCount(DWORD& input) override;
    DWORD OutputCount(DWORD& output) override;
    DWORD TakeErrors(DWORD& errors) override;
    DWORD Purge(bool input, bool output) override;
    bool HasModemLines() override { return hasModemLines_; }
    DWORD ReadModemLines(DWORD& modemStatus) override;
    DWORD SetOutputLine(OutputLine line, bool on) override;
    DWORD SetBreak(bool on) override;
    DWORD SuspendOutput(bool suspend) override;
    DWORD Close() override;

  private:
    struct Step {
        CommTime due;
        std::string bytes;
        DWORD errors = 0;
    };
    struct Failure {
        DWORD error;
        int times;
        int after;
    };

    // Moves the script steps that are due into the input queue.
    void Arrive();
    CommTime NextStepTime();

    std::deque<Step> script_;
    CommTime scriptEnd_{0};
    std::deque<BYTE> input_;
    DWORD errors_ = 0;
    std::string output_;
    std::optional<std::size_t> outputRoom_;
    bool hasModemLines_ = true;
    DWORD modemStatus_ = 0;
    bool dtr_ = false;
    bool rts_ = false;
    bool break_ = false;
    bool outputSuspended_ = false;
    std::map<CommCall, Failure> failures_;
    std::vector<CommCall> calls_;
    bool open_ = false;
    DCB settings_{};
    DCB settingsBeforeOpen_{};
    std::vector<DCB> applied_;
};

// Makes `device` stand for COM<number>: until detached; it takes precedence over
// any path. Detaching does not close a port that is open on the device.
void AttachMemorySerialDevice(int number, std::shared_ptr<MemorySerialDevice> device);
void DetachMemorySerialDevice(int number);
std::shared_ptr<MemorySerialDevice> AttachedMemorySerialDevice(int number);

} // namespace platform
