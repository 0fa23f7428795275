#pragma once

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>

// Whole transfers on a file descriptor: a signal arriving mid-call or a write
// cut short is carried on, not taken for an error.
namespace platform {

// Calls call (a read, write, poll...) again while a signal interrupts it.
template <typename Call> auto RetryOnInterrupt(Call call) {
    auto result = call();
    while (result < 0 && errno == EINTR) {
        result = call();
    }
    return result;
}

// Writes all of bytes. False when it stopped short, with errno saying why
// (ENOSPC for a write that took nothing); written, when given, receives how
// many bytes went out either way.
bool WriteAll(int fd, std::string_view bytes, std::size_t* written = nullptr);

// Sends all of bytes on a socket without raising SIGPIPE, waiting up to
// waitWhenFull each time a non-blocking socket is full. False on an error, a
// closed peer or a wait that ran out (errno ETIMEDOUT).
bool SendAll(int fd, std::span<const std::uint8_t> bytes, std::chrono::milliseconds waitWhenFull);

// Appends what fd holds up to its end, or until bytes holds limit bytes (a
// caller that wants to know a file is too large asks for one byte more than it
// takes). False with errno set on a read error.
bool ReadAll(int fd, std::string& bytes,
             std::size_t limit = std::numeric_limits<std::size_t>::max());

} // namespace platform
