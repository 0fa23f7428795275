#include "platform/core/clock.h"

#include <algorithm>
#include <thread>

#include "platform/core/system.h"

namespace platform {
namespace {

struct ClockState {
    bool manual = false;
    Milliseconds manualNow{0};
    std::chrono::steady_clock::time_point realStart = std::chrono::steady_clock::now();
    std::function<void(Milliseconds)> observer;
};

ClockState& State() {
    static ClockState state;
    return state;
}

void MoveManualClock(Milliseconds step) {
    ClockState& state = State();
    state.manualNow += step;
    if (state.observer) {
        // A copy, so that an observer may replace itself while it runs.
        auto observer = state.observer;
        observer(state.manualNow);
    }
}

} // namespace

Milliseconds ClockNow() {
    const ClockState& state = State();
    if (state.manual) {
        return state.manualNow;
    }
    return std::chrono::duration_cast<Milliseconds>(std::chrono::steady_clock::now() -
                                                    state.realStart);
}

void ClockSleep(Milliseconds duration) {
    ClockState& state = State();
    if (state.manual) {
        MoveManualClock(duration);
        return;
    }
    std::this_thread::sleep_for(duration);
}

void UseManualClock(Milliseconds start) {
    State().manual = true;
    State().manualNow = start;
}

void AdvanceManualClock(Milliseconds step) {
    MoveManualClock(step);
}

void SetManualClockObserver(std::function<void(Milliseconds now)> observer) {
    State().observer = std::move(observer);
}

bool ManualClockInUse() {
    return State().manual;
}

void UseRealClock() {
    State().manual = false;
    State().realStart = std::chrono::steady_clock::now();
}

std::optional<Milliseconds> EarlierOf(std::optional<Milliseconds> a,
                                      std::optional<Milliseconds> b) {
    if (!a || !b) {
        return a ? a : b;
    }
    return std::min(*a, *b);
}

bool SleepUntil(std::optional<Milliseconds> wake, const std::function<bool(Milliseconds)>& look,
                bool descriptorsCanEnd) {
    Milliseconds now = ClockNow();
    if (!State().manual) {
        // Waking at the due millisecond or just after it: the clock counts whole
        // milliseconds, so the real time is never earlier than `now`.
        look(wake ? std::max(*wake - now, Milliseconds{0}) : Milliseconds{-1});
        return true;
    }
    if (look(Milliseconds{0})) {
        return true;
    }
    if (wake) {
        if (*wake > now) {
            MoveManualClock(*wake - now);
        }
        return true;
    }
    if (!descriptorsCanEnd) {
        return false;
    }
    look(Milliseconds{-1});
    return true;
}

} // namespace platform

DWORD GetTickCount() {
    // The device's tick count is 32 bits wide and wraps; callers rely on that.
    return static_cast<DWORD>(static_cast<std::uint64_t>(platform::ClockNow().count()));
}

void Sleep(DWORD milliseconds) {
    platform::ClockSleep(platform::Milliseconds{milliseconds});
}
