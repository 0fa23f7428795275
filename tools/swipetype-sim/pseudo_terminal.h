// The simulator's end of the serial line: a pseudo-terminal whose other end (the
// slave device) the program opens as its serial port. The simulator keeps a slave
// descriptor of its own open so that the line, and the settings the program gave
// it, survive the program closing and reopening the port.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "platform/core/unique_fd.h"

namespace sim {

// What the program has set on the line, as far as timing and framing go.
struct LineSettings {
    unsigned baud = 0;         // 0 when the speed code is not a standard one
    unsigned bitsPerByte = 10; // start bit, data bits, parity bit, stop bits
    // The time one byte takes on the wire.
    std::chrono::nanoseconds ByteTime() const;
};

class PseudoTerminal {
  public:
    PseudoTerminal() = default;

    // Creates the pair, raw and without echo. On failure returns false and sets
    // `error` to a sentence.
    bool Open(std::string& error);
    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_.Get(); }

    LineSettings ReadSettings() const;
    // Bytes written to the line that the program has not read yet.
    int Unread() const;

    // Writes the bytes one by one at the line's byte rate, as a reader's UART puts
    // them on the wire. Returns the time the last byte was written (steady clock),
    // or nothing on a write error (with `error` set).
    bool WritePaced(std::string_view bytes, const LineSettings& line,
                    std::chrono::steady_clock::time_point& lastByte, std::string& error);

  private:
    platform::UniqueFd master_;
    platform::UniqueFd slave_;
    std::string slavePath_;
};

// The numeric rate of a termios speed code; 0 for codes that name none.
unsigned BaudOfSpeedCode(unsigned speedCode);

} // namespace sim
