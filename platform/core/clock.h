// The clock behind GetTickCount, Sleep and the timers. Production uses the
// monotonic clock; tests replace it with a manual clock that moves only when told,
// so that timing is exact and a test never waits for real time to pass.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include "platform/core/types.h"

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

// Called with the new time after every move of the manual clock (an advance, or a
// Sleep while the manual clock is in use). Tests use it to make things happen "while"
// the program sleeps, such as bytes arriving at a device in bursts. An empty function
// removes the observer.
void SetManualClockObserver(std::function<void(Milliseconds now)> observer);

// Back to the monotonic clock, counting from now.
void UseRealClock();

// The earlier of two moments on this clock, where none is never.
std::optional<Milliseconds> EarlierOf(std::optional<Milliseconds> a, std::optional<Milliseconds> b);

// How every wait of the loop sleeps. `look(timeout)` waits for what the caller
// waits for (its descriptors) at most `timeout` (negative: no limit; 0: only
// looks) and says whether anything is ready. The real clock looks once, until
// `wake` (none: no limit). The manual clock never waits for time to pass: it
// looks without waiting and, with nothing ready, moves itself to `wake`; with
// no `wake` it waits on the descriptors alone when `descriptorsCanEnd`, and
// gives false otherwise, as nothing could ever end that wait.
bool SleepUntil(std::optional<Milliseconds> wake, const std::function<bool(Milliseconds)>& look,
                bool descriptorsCanEnd);

} // namespace platform
