// The magnetic stripe reader: owns the first serial port while MSR input is on,
// polls it on a window timer, reads one line per tick, has it decoded and, on a
// good read, typed into the focused application.
//
// A line is taken only once its terminator (CR, LF or a zero byte) has arrived:
// the bytes read before it are held and completed by what follows, so a swipe
// whose bytes pause on the way is still read whole. A line without its terminator
// is taken as it stands after about 500 ms of silence on the line only when it
// ends on a whole track (an end sentinel after its last start sentinel), as a
// reader that sends no line end leaves it; otherwise the silence (or a lost
// device, which brings nothing more) cut it off, and it is a bad read: beeped,
// counted, never typed and never kept for the next swipe. A line with no end
// within the 1023 characters a line holds is no card: it is dropped through its
// end, with the bad-read beep.
#pragma once

#include "platform/core/types.h"

// Shared by both readers, since at most one runs at a time and both use the same
// port: the port id while a reader runs (0 after a stop or a failed setup, the
// negative code after a failed open), and the result of the last read (for the
// MSR, the characters stored in RawLine, or 0 or below when the read failed).
extern int ReaderPort;
extern int ReadCount;

// 1 while the MSR reader runs (port open and set up, poll timer set), else 0.
extern int MSRActive;

constexpr UINT_PTR MSRTimerId = 1357;

// Starts the reader on `window`, whose timer polls the port every MSRInterval
// milliseconds. 1 when this call started it; 0 when it already ran or the port
// could not be opened or set up (said on the debug output).
int StartMSRReader(HWND window);

// Stops the reader started on `window` and closes the port that ReaderPort names,
// whichever reader opened it. Harmless when nothing runs. Returns 0.
int StopMSRReader(HWND window);

// Opens COM1: at 9600 baud, 8 data bits, no parity, one stop bit, no flow control.
// 1 when the port is open and set up, else 0.
int OpenMSRPort();

// Closes the port that ReaderPort names and sets ReaderPort to 0. Returns 0.
int CloseMSRPort();

// Reads whatever waits and takes one line from the held bytes into RawLine: up
// to its terminator, whatever its length, or as it stands when it fell silent
// ending on a whole track. Lines that queued up between ticks are taken one per
// tick, in order. 1 when a line of at least one character was taken, else 0.
int ReadMSRLine();

// The timer procedure: reads a line, decodes it and types a good read.
void OnMSRTimer(HWND window, UINT message, UINT_PTR timerId, DWORD time);

// Forgets the bytes held for an unfinished line. Called when the reader starts.
void ClearPendingLine();

// How many bytes read from the port are held for lines not yet taken.
int PendingLineBytes();
