// The line reader: owns the first serial port while line input is on (UseLine),
// for any device that sends its reads as lines of text: a barcode scanner, a
// scale, a badge reader. Each line, from its first byte to its end byte
// (LineEnd), is one read, typed as prefix, text, suffix, TAB and ENTER.
//
// What a line may hold:
// - Its bytes are text in the program's code page. A line with a byte that is
//   not (a byte the code page leaves undefined, or a control character) is a
//   bad read: never typed, counted, with the bad-read beep when Beep is set.
// - GS (0x1D), the group separator a GS1 code (GS1-128, GS1 DataMatrix) sends
//   for FNC1, is not a bad read: at the line's start or end it carries nothing
//   and is dropped; between two fields it is typed as a space. A GS1 element
//   string never holds a space, so the fields stay apart and the text can be
//   split where they meet, and no control character reaches the application.
// - CR and LF that open a line are dropped: they are the rest of another end
//   (a device that sends CR LF to a reader set to CR), or idle fill. An empty
//   line is no read.
// - With LineEnd ETX, an STX that opens the line is dropped; an STX inside a
//   line starts a new frame, and what came before it is a cut line.
// - A line with no end within 1023 bytes, a line that the device's going away
//   cut off, and a line left without its end for a second of silence are bad
//   reads. Every later line is read as usual.
//
// The port is read on a window timer of kLineTick ms, so a line's first key
// follows its end byte within about that time; an idle tick costs one ioctl.
#pragma once

#include "keys/scan_data.h"
#include "platform/core/types.h"
constexpr UINT_PTR LineTimerId = 1359;
constexpr UINT kLineTick = 20; // ms

// 1 while the line reader runs (port open and set up, timer set), else 0.
extern int LineActive;

// The last good line, decoded, is LineText (keys/scan_data.h): what
// SendScanOutput types as the read.

// Opens COM1: at LineBaud with LineFormat, no flow control, and sets the timer on
// `window`. 1 when this call started it; 0 when it already ran or the port could
// not be opened or set up (said on the debug output).
int StartLineReader(HWND window);

// Stops the reader started on `window` and closes its port; a line not yet ended
// is forgotten. Harmless when nothing runs. Returns 0.
int StopLineReader(HWND window);

// The timer procedure: reads what waits and handles every line it completes.
void OnLineTimer(HWND window, UINT message, UINT_PTR timerId, DWORD time);

// Takes `count` bytes as they came from the port: each line they end is a read,
// typed through `window` when good. The reader's own path, open for the tools
// that drive it without a port.
void TakeLineBytes(HWND window, const char* bytes, int count);

// The device went away: a line begun is a bad read.
void EndLineByLoss();

// Forgets a line begun.
void ClearLineState();

// The reader that Settings choose: the line reader when UseLine is on, else the
// MSR or RFID reader as UseMSR says. Started on, or every reader stopped on,
// `window`.
int StartChosenReader(HWND window);
void StopEveryReader(HWND window);

// 1 when any reader runs.
int AnyReaderActive();
