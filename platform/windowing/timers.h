// Inside the message loop: the window timers of the thread. A timer has a period
// and the time its next message is due, on the clock of platform/core/clock.h; its
// WM_TIMER message is made when the loop takes it. Only platform files include this.
#pragma once

#include <optional>
#include <vector>

#include "platform/core/clock.h"
#include "platform/windowing/message_queue.h"
#include "platform/windowing/messages.h"

namespace platform {

class TimerTable {
  public:
    static TimerTable& Instance();

    // Creates or replaces a timer; see SetTimer. Returns its id, 0 on failure.
    UINT_PTR Set(HWND window, UINT_PTR timerId, UINT period, TIMERPROC procedure);
    bool Kill(HWND window, UINT_PTR timerId);
    // Removes every timer of the window.
    void ForgetWindow(HWND window);

    // When the earliest timer that the filter accepts is due; none without timers.
    std::optional<Milliseconds> NextDue(const MessageFilter& filter);
    // WM_TIMER for the earliest timer due now that the filter accepts. When `remove`,
    // the timer's next message is due one period after this one, or one period from
    // now when it is late by a period or more (missed messages are not made up).
    std::optional<MSG> TakeDue(const MessageFilter& filter, bool remove);

    // True when `procedure` is the current procedure of that timer.
    bool HasProcedure(HWND window, UINT_PTR timerId, TIMERPROC procedure) const;

    std::size_t Size() const { return timers_.size(); }
    void Clear();

  private:
    struct Timer {
        HWND window;
        UINT_PTR id;
        Milliseconds period;
        Milliseconds due;
        TIMERPROC procedure;
        std::uint64_t order; // creation order, which breaks ties between equal due times
    };

    Timer* Find(HWND window, UINT_PTR timerId);
    UINT_PTR FreeThreadTimerId();
    // Drops timers of windows that no longer exist, and pulls in due times that lie
    // more than a period ahead (the clock was switched or restarted).
    void Tidy(Milliseconds now);
    Timer* Earliest(const MessageFilter& filter);

    std::vector<Timer> timers_;
    std::uint64_t nextOrder_ = 0;
    UINT_PTR nextThreadTimerId_ = 1;
};

// Removes the timers of a window that is being destroyed.
void ForgetWindowTimers(HWND window);

} // namespace platform
