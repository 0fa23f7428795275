// Inside the platform: one open serial port behind a HANDLE. It holds what the
// device's own driver would hold: the settings last set, the time-outs, line
// errors not yet collected, and a receive buffer.
//
// The receive buffer exists for speed: programs read a byte per call and ask the
// count of waiting bytes before each, and a system call per byte is what makes
// that slow. A read that finds the buffer empty takes everything the device has
// in one call (the buffer is as large as the kernel's tty read queue), and later
// reads are served from it. The receive-queue count is exact in this sense: right after a read the
// buffer alone answers while it holds bytes, without asking the device, so bytes
// that arrive meanwhile are counted once the buffer is drained, or as soon as the
// count is asked again with no read in between (a caller waiting for the count to
// grow sees every byte); otherwise the count is the buffer plus the device's
// queue. It never claims bytes that are not there and is never 0 while bytes
// wait. Line errors are collected when the device is asked: with such a count,
// and by a read that finds the buffer empty. Purging input empties both.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "platform/core/handle_table.h"
#include "platform/serial/device/serial_device.h"

namespace platform {

class ReceiveBuffer {
  public:
    std::size_t Size() const { return end_ - begin_; }
    // Moves up to `count` buffered bytes to `destination`; returns how many.
    std::size_t Take(BYTE* destination, std::size_t count);
    // Reads what the device has now into the (empty) buffer; `added` gets the count.
    DWORD Fill(SerialDevice& device, std::size_t& added);
    void Clear();
    // True when the buffer gives the receive-queue count alone (see above): it
    // holds bytes and has been read from since it last gave the count.
    bool AnswersCount();

  private:
    std::array<BYTE, 4096> bytes_{};
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool countGiven_ = false; // gave the count, and no read since
};

class CommPort final : public HandleObject {
  public:
    CommPort(std::shared_ptr<SerialDevice> device, int number, DWORD access, const DCB& settings);
    ~CommPort() override;

    bool Close() override;

    SerialDevice& Device() { return *device_; }
    // Input waits in the receive buffer, or as the device says.
    InputWatch WatchInput() override;
    int Number() const { return number_; }
    bool MayRead() const;
    bool MayWrite() const;

    // Says, once per device and topic, something this port cannot do.
    void Note(std::string_view topic, const std::string& text);

    DCB settings;            // as last set, or as read when the port was opened
    COMMTIMEOUTS timeouts{}; // all zero until set
    DWORD pendingErrors = 0; // CE_ bits seen but not yet collected
    ReceiveBuffer received;

  private:
    std::shared_ptr<SerialDevice> device_;
    int number_;
    DWORD access_;
    bool closed_ = false;
};

// The open port COM<number>:, or nullptr when it is not open.
CommPort* OpenCommPort(int number);

// The port behind a handle, after letting its device accept or refuse the call.
// Returns nullptr with the last error set: ERROR_INVALID_HANDLE for a handle that
// is not an open port, or the device's refusal.
CommPort* BeginPortCall(HANDLE handle, CommCall call);

// Sets the last error; returns FALSE, so that a call can end with `return Fail(e);`.
BOOL Fail(DWORD error);

} // namespace platform
