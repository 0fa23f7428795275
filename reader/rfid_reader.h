// The RFID tag reader: owns the first serial port while RFID input is on, and on
// every tick of a window timer sends the reader a request and examines the reply
// bytes that arrived since the last tick; a valid reply's tag number is typed as
// hexadecimal text. Shares ReaderPort and ReadCount with the MSR reader.
#pragma once

#include "platform/core/types.h"
#include "reader/msr_reader.h"
#include "reader/tag_text.h"

// 1 while the RFID reader runs (port open and set up, poll timer set), else 0.
extern int RFIDActive;

constexpr UINT_PTR RFIDTimerId = 1358;

// Starts the reader on `window`, whose timer polls every RFIDInterval
// milliseconds. 1 when this call started it; 0 when it already ran or the port
// could not be opened or set up (said on the debug output).
int StartRFIDReader(HWND window);

// Stops the reader started on `window` and closes the port that ReaderPort names.
// Harmless when nothing runs. Returns 0.
int StopRFIDReader(HWND window);

// Opens COM1: at 19200 baud, 8 data bits, no parity, one stop bit, no flow
// control. 1 when the port is open and set up, else 0.
int OpenRFIDPort();

// Closes the port that ReaderPort names and sets ReaderPort to 0. Returns 0.
int CloseRFIDPort();

// Writes the request frame BA 02 01 B9.
void SendTagRequest();

// Sends the request, then reads the reply bytes that were already waiting (they
// answer an earlier request) into TagText. 1 when bytes were read, else 0.
int ReadTagReply();

// Checks the reply in TagText and turns its 4- or 7-byte tag number into
// upper-case hexadecimal text at the start of TagText ("%2X" per byte). 1 when
// TagText now holds a tag text, else 0.
int ParseTagReply();

// Zero-fills TagText.
void ClearTagText();

// The timer procedure: reads and parses a reply and types its tag text.
void OnRFIDTimer(HWND window, UINT message, UINT_PTR timerId, DWORD time);
