// Inside the platform: how a DCB's line settings map onto a tty's termios, in
// both directions. Only the serial tty device includes this.
#pragma once

#include <optional>
#include <termios.h>

#include "platform/core/types.h"

namespace platform {

// The standard speed code for a rate (9600 -> B9600), so that stty and other
// tools read the rate back as a number; nothing for other rates.
std::optional<speed_t> SpeedCodeForRate(DWORD rate);
std::optional<DWORD> RateForSpeedCode(speed_t code);

// A serial port's raw mode: no echo, no line editing, no signals, no character
// translation in either direction, reads that never block in the driver (the
// time-outs are ours), the modem-control lines not required for reading. The
// character size, parity, stop bits and flow control are left as they are.
void MakeRaw(termios& settings);

// Writes the DCB's data bits, parity, stop bits, CTS flow (which on this host
// also drives RTS, so RTS handshake asks for it too), XON/XOFF and their
// characters into the termios; the rate is set separately.
void WriteLineSettings(const DCB& dcb, termios& settings);

// The reverse: fills those DCB fields from the termios.
void ReadLineSettings(const termios& settings, DCB& dcb);

} // namespace platform
