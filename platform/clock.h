// The clock behind GetTickCount, Sleep and the timers. Production uses the
// monotonic clock; tests replace it with a manual clock that moves only when told,
// so that timing is exact and a test never waits for real time to pass.
#pragma once

#include <chrono>

#include "platform/types.h"

namespace platform {

using Milliseconds = std::chrono::milliseconds;

// Milliseconds since the clock started, without wrapping.
Milliseconds ClockNow();

// Waits for the given time: really on the monotonic clock, by advancing the
// manual clock when one is in use.
void ClockSleep(Milliseconds duration);

// Switches to a manual clock that reads `start` until advanced.
void UseManualClock(Milliseconds start = Milliseconds{0});
void AdvanceManualClock(Milliseconds step);
bool ManualClockInUse();

// Back to the monotonic clock, counting from now.
void UseRealClock();

} // namespace platform
