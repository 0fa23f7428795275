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

namespace platform {

struct ReadTally {
    std::uint64_t good = 0;
    std::uint64_t bad = 0;
    std::optional<std::chrono::system_clock::time_point> last; // of either verdict
};

// The reads since the program started.
ReadTally CurrentReadTally();

} // namespace platform
