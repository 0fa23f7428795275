// Fuzz input as what arrives at an in-memory serial device: bytes, pauses and
// line errors, in order. Three byte values are commands, the rest arrive as
// they are:
//
//   0xFF n    a pause of n milliseconds before what follows
//   0xFE e    the line errors e (CE_ bits: 0x01 overflow, 0x02 overrun,
//             0x04 parity, 0x08 framing, 0x10 break) at this point
//   0xFD b    the byte b itself (so 0xFD to 0xFF can arrive too)
//
// A command cut off at the end of the input is dropped.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/serial/comm.h"
#include "platform/serial/device/memory_serial_device.h"

namespace fuzz {

struct DeviceScript {
    std::string bytes;                    // everything that arrives, in order
    std::chrono::milliseconds duration{}; // the sum of the pauses
    DWORD errors = 0;                     // every line error that arrives
    // When each chunk arrives (the time since the script was queued) and how many
    // bytes have arrived with it.
    std::vector<std::pair<std::chrono::milliseconds, std::size_t>> arrivals;

    // The bytes that have arrived `elapsed` after the script was queued.
    std::size_t ArrivedBy(std::chrono::milliseconds elapsed) const {
        std::size_t arrived = 0;
        for (const auto& [due, total] : arrivals) {
            if (due <= elapsed) {
                arrived = total;
            }
        }
        return arrived;
    }
    // Whether the receive queue overflowed on the way: the port then drops what
    // waits (see bio_update_status), so bytes go missing by design.
    bool Overflowed() const { return (errors & CE_RXOVER) != 0; }
};

inline DeviceScript QueueScript(platform::MemorySerialDevice& device, std::string_view input) {
    DeviceScript script;
    std::string chunk;
    auto flush = [&] {
        if (!chunk.empty()) {
            device.QueueInput(chunk);
            script.bytes += chunk;
            script.arrivals.emplace_back(script.duration, script.bytes.size());
            chunk.clear();
        }
    };
    for (std::size_t i = 0; i < input.size(); ++i) {
        auto byte = static_cast<unsigned char>(input[i]);
        if (byte < 0xFD) {
            chunk += input[i];
            continue;
        }
        if (++i >= input.size()) {
            break;
        }
        auto argument = static_cast<unsigned char>(input[i]);
        if (byte == 0xFD) {
            chunk += input[i];
        } else if (byte == 0xFE) {
            flush();
            device.QueueErrors(argument);
            script.errors |= argument;
        } else {
            flush();
            device.QueuePause(std::chrono::milliseconds{argument});
            script.duration += std::chrono::milliseconds{argument};
        }
    }
    flush();
    return script;
}

} // namespace fuzz
