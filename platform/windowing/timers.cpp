#include "platform/windowing/timers.h"

#include <algorithm>

#include "platform/core/system.h"
#include "platform/windowing/window.h"

namespace platform {

TimerTable& TimerTable::Instance() {
    static TimerTable table;
    return table;
}

TimerTable::Timer* TimerTable::Find(HWND window, UINT_PTR timerId) {
    auto found = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& timer) {
        return timer.window == window && timer.id == timerId;
    });
    return found == timers_.end() ? nullptr : &*found;
}

UINT_PTR TimerTable::FreeThreadTimerId() {
    for (;;) {
        UINT_PTR id = nextThreadTimerId_++;
        if (nextThreadTimerId_ == 0) {
            nextThreadTimerId_ = 1;
        }
        if (id != 0 && Find(nullptr, id) == nullptr) {
            return id;
        }
    }
}

UINT_PTR TimerTable::Set(HWND window, UINT_PTR timerId, UINT period, TIMERPROC procedure) {
    if (window != nullptr && !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    UINT clamped = std::clamp(period, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    Milliseconds periodMs{clamped};
    Milliseconds due = ClockNow() + periodMs;
    if (Timer* existing = Find(window, timerId)) {
        existing->period = periodMs;
        existing->due = due;
        existing->procedure = procedure;
        return window != nullptr ? std::max<UINT_PTR>(timerId, 1) : timerId;
    }
    UINT_PTR id = window != nullptr ? timerId : FreeThreadTimerId();
    timers_.push_back({window, id, periodMs, due, procedure, nextOrder_++});
    // A window timer with id 0 is real but a result of 0 would read as failure.
    return window != nullptr ? std::max<UINT_PTR>(id, 1) : id;
}

bool TimerTable::Kill(HWND window, UINT_PTR timerId) {
    auto erased = std::erase_if(
        timers_, [&](const Timer& timer) { return timer.window == window && timer.id == timerId; });
    return erased > 0;
}

void TimerTable::ForgetWindow(HWND window) {
    if (window != nullptr) {
        std::erase_if(timers_, [window](const Timer& timer) { return timer.window == window; });
    }
}

void TimerTable::Tidy(Milliseconds now) {
    std::erase_if(timers_, [](const Timer& timer) {
        return timer.window != nullptr && !IsWindow(timer.window);
    });
    for (Timer& timer : timers_) {
        if (timer.due > now + timer.period) {
            timer.due = now + timer.period;
        }
    }
}

TimerTable::Timer* TimerTable::Earliest(const MessageFilter& filter) {
    if (!filter.MatchesMessage(WM_TIMER)) {
        return nullptr;
    }
    Timer* earliest = nullptr;
    for (Timer& timer : timers_) {
        if (!filter.MatchesWindow(timer.window)) {
            continue;
        }
        if (earliest == nullptr || timer.due < earliest->due ||
            (timer.due == earliest->due && timer.order < earliest->order)) {
            earliest = &timer;
        }
    }
    return earliest;
}

std::optional<Milliseconds> TimerTable::NextDue(const MessageFilter& filter) {
    Tidy(ClockNow());
    Timer* earliest = Earliest(filter);
    if (earliest == nullptr) {
        return std::nullopt;
    }
    return earliest->due;
}

std::optional<MSG> TimerTable::TakeDue(const MessageFilter& filter, bool remove) {
    Milliseconds now = ClockNow();
    Tidy(now);
    Timer* timer = Earliest(filter);
    if (timer == nullptr || timer->due > now) {
        return std::nullopt;
    }
    MSG message{};
    message.hwnd = timer->window;
    message.message = WM_TIMER;
    message.wParam = timer->id;
    message.lParam = reinterpret_cast<LPARAM>(timer->procedure);
    message.time = GetTickCount();
    if (remove) {
        Milliseconds next = timer->due + timer->period;
        timer->due = next > now ? next : now + timer->period;
    }
    return message;
}

bool TimerTable::HasProcedure(HWND window, UINT_PTR timerId, TIMERPROC procedure) const {
    return std::any_of(timers_.begin(), timers_.end(), [&](const Timer& timer) {
        return timer.window == window && timer.id == timerId && timer.procedure == procedure;
    });
}

void TimerTable::Clear() {
    timers_.clear();
    nextThreadTimerId_ = 1;
}

void ForgetWindowTimers(HWND window) {
    TimerTable::Instance().ForgetWindow(window);
}

} // namespace platform

UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT period, TIMERPROC procedure) {
    return platform::TimerTable::Instance().Set(window, timerId, period, procedure);
}

BOOL KillTimer(HWND window, UINT_PTR timerId) {
    if (!platform::TimerTable::Instance().Kill(window, timerId)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
