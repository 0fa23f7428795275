// Inside the platform: rates that have no standard termios speed code (14400,
// 250000, ...). Linux sets and reads them through its termios2 interface, whose
// kernel header cannot share a source file with <termios.h>; so they live in a
// file of their own behind this small interface.
#pragma once

#include <optional>

#include "platform/core/types.h"

namespace platform {

// Sets the tty's rate to any value the driver accepts. Returns 0 or an errno.
int SetCustomRate(int fd, DWORD rate);

// The rate the driver has in effect, as a number; nothing if it cannot be read.
std::optional<DWORD> ReadCustomRate(int fd);

// The input and output rates the driver has in effect, as numbers.
struct LineRates {
    DWORD input;
    DWORD output;
};
std::optional<LineRates> ReadLineRates(int fd);

// True when the tty's rate is set by number rather than by a standard code.
bool HasCustomRate(int fd);

} // namespace platform
