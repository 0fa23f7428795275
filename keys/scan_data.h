// What a good read leaves for the output composition (keys/scan_output.cpp) to
// type: the decoded track texts, the tag text, the line's text. The readers in
// reader/ define and fill them and take these declarations from here, so that
// the output composition reads them without knowing the readers.
#pragma once

#include "platform/core/types.h"

constexpr int kLineBufferSize = 1024; // a reader line, and each track text
constexpr int kTagTextSize = 1024;
constexpr int kLineTextSize = 1024; // a line's text, its terminator included

// The three decoded track texts, index 0 for track 1.
extern char TrackBuffers[3][kLineBufferSize];

// The RFID reply as read, then the tag number as upper-case hexadecimal text.
extern char TagText[kTagTextSize];

// The last good line of the line reader, decoded.
extern WCHAR LineText[kLineTextSize];
