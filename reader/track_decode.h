// Magnetic stripe track decoding: splits one reader line into the texts of
// tracks 1 to 3 and judges the swipe good or bad.
#pragma once

#include "keys/scan_data.h"
#include "platform/core/types.h"

// The line to decode: narrow, zero-terminated, terminators already removed.
extern char RawLine[kLineBufferSize];

// The three decoded track texts: TrackBuffers (keys/scan_data.h).

// Decodes RawLine into TrackBuffers. Returns 1 for a good read, 0 for a bad one
// (beeping with sound type 4 when Beep is set) or an empty line.
int DecodeTracks();

// The verdict of each track of the line last decoded, none of its data: for
// tracks 1 to 3, '+' read, 'E' read with the error mark, '-' not on the card.
const char* TrackVerdicts();

// Tells the person of a bad read: the beep of sound type 4, when Beep is set.
void ReportBadRead();

// Zero-fills RawLine and the three track texts.
void ClearMSRBuffers();
