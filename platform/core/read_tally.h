// The verdict of every read of the card reader, good or bad, whether or not it
// beeped: counted for the program's status and written to the event log as a
// "read" line. Never any of the card's data: only which reader, the verdict,
// and for a magnetic stripe card the verdict of each track.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "platform/core/types.h"

// One read. `reader` names the reader ("msr", "rfid"); `good` is nonzero for a
// good read. `trackVerdicts`, for a magnetic stripe card, holds one character
// for each of tracks 1 to 3: '+' read, 'E' read with the error mark, '-' not
// on the card; null when no track was decoded (a tag, a line too long).
void TallyRead(LPCSTR reader, BOOL good, LPCSTR trackVerdicts);

// One poll of a reader that answers requests (the RFID reader): `answered` is
// nonzero when a reply in the reader's framing came in. Polls that get no
// answer are counted until the next answer, so that the status can tell a
// reader that stopped answering from one that has no tag to read.
void TallyReaderPoll(BOOL answered);

namespace platform {

struct ReadTally {
    std::uint64_t good = 0; // good reads whose keys were typed
    std::uint64_t bad = 0;
    std::uint64_t dropped = 0;                                     // reads whose keys were dropped
    std::optional<std::chrono::system_clock::time_point> last;     // of either verdict
    std::optional<std::chrono::system_clock::time_point> answered; // the last reply
    std::uint64_t silentPolls = 0;                                 // polls since the last reply
};

// The reads since the program started.
ReadTally CurrentReadTally();

// The key sink dropped the keys of one read (its keeper counts a read as the
// events posted between two waits of the message loop). A good read whose keys
// had not begun to go out is moved from `good` to `dropped`.
void TallyDroppedRead();

// Keys went out: the good read tallied last is typed.
void TallyKeysDelivered();

// Keys were thrown away on purpose (no sink): the good read tallied last, if
// its keys had not gone out, is dropped.
void TallyKeysDiscarded();

} // namespace platform
