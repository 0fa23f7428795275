// GetMessageW, PeekMessageW and DispatchMessageW over the posted-message queue, the
// timer table and the wait sources, with the clock of platform/core/clock.h deciding how
// long to wait (SleepUntil): the real clock waits in poll(); the manual clock is
// moved straight to the next due timer, so a test never waits for real time.
#include <unistd.h>

#include "platform/core/standard_streams.h"
#include "platform/core/system.h"
#include "platform/windowing/foreign_windows.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/message_queue.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/timers.h"
#include "platform/windowing/window.h"

namespace platform {
namespace {

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));
// A bound on one pump, so that a handler that posts a message for every message it
// handles cannot keep PumpMessages from returning.
constexpr int kPumpLimit = 100000;

// Posted messages first, then the quit request, then due timers.
std::optional<MSG> TakeReady(const MessageFilter& filter, bool remove) {
    if (auto message = MessageQueue::Instance().Take(filter, remove)) {
        return message;
    }
    if (auto quit = MessageQueue::Instance().TakeQuit(remove)) {
        return quit;
    }
    return TimerTable::Instance().TakeDue(filter, remove);
}

// Waits until a wait source is ready, the next timer for `filter` is due, or the
// clock reads `until`. Returns false when that can never happen: the manual clock
// is in use with no timer, no limit and no source, so nothing could ever arrive.
bool WaitForWork(const MessageFilter& filter, std::optional<Milliseconds> until) {
    std::optional<Milliseconds> wake = EarlierOf(TimerTable::Instance().NextDue(filter), until);
    auto look = [&](Milliseconds timeout) {
        return ServiceWaitSources(timeout) > 0 || TakeReady(filter, false).has_value();
    };
    return SleepUntil(wake, look, WaitSourceCount() != 0);
}

bool ValidFilterWindow(HWND window) {
    return window == nullptr || window == kThreadMessagesOnly || IsWindow(window);
}

BOOL PostToQueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG posted{window, message, wParam, lParam, GetTickCount(), {0, 0}};
    if (!MessageQueue::Instance().Post(posted)) {
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return FALSE;
    }
    return TRUE;
}

} // namespace

int PumpMessages() {
    const MessageFilter everything;
    int dispatched = 0;
    while (dispatched < kPumpLimit) {
        ServiceWaitSources(Milliseconds{0});
        std::optional<MSG> message = TakeReady(everything, true);
        if (!message) {
            break;
        }
        if (message->message == WM_QUIT) {
            // Left for the caller's own loop to see.
            MessageQueue::Instance().RequestQuit(static_cast<int>(message->wParam));
            break;
        }
        TranslateMessage(&*message);
        DispatchMessageW(&*message);
        ++dispatched;
    }
    return dispatched;
}

bool RunMessagesFor(Milliseconds duration) {
    const Milliseconds end = ClockNow() + duration;
    for (;;) {
        PumpMessages();
        if (QuitPending()) {
            return false;
        }
        if (ClockNow() >= end) {
            return true;
        }
        WaitForWork(MessageFilter{}, end);
    }
}

bool QuitPending() {
    return MessageQueue::Instance().QuitRequested();
}

void ResetMessageLoop() {
    MessageQueue::Instance().Clear();
    TimerTable::Instance().Clear();
    detail::ClearWaitSources();
}

} // namespace platform

BOOL GetMessageW(MSG* message, HWND window, UINT first, UINT last) {
    if (message == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (!platform::ValidFilterWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    const platform::MessageFilter filter{window, first, last};
    // The wait sources are serviced before a message is taken, so that a request
    // from another program is not held up behind a stream of posted messages. A
    // real wait that has just ended has serviced them itself, and with nothing
    // ready the wait comes next and services them: polling them first as well
    // would only give every tick of an idle program two more system calls.
    bool sourcesServiced = false;
    for (;;) {
        if (!sourcesServiced &&
            (platform::ManualClockInUse() || platform::TakeReady(filter, false))) {
            platform::ServiceWaitSources(platform::Milliseconds{0});
        }
        if (std::optional<MSG> ready = platform::TakeReady(filter, true)) {
            *message = *ready;
            return ready->message == WM_QUIT ? 0 : 1;
        }
        if (!platform::WaitForWork(filter, std::nullopt)) {
            // Waiting would hang the thread for ever; say so and fail instead.
            platform::WriteErrorLine("GetMessageW: the manual clock is in use and no timer, "
                                     "message or descriptor can end the wait");
            SetLastError(ERROR_TIMEOUT);
            return -1;
        }
        sourcesServiced = !platform::ManualClockInUse();
    }
}

BOOL PeekMessageW(MSG* message, HWND window, UINT first, UINT last, UINT options) {
    if (message == nullptr || !platform::ValidFilterWindow(window)) {
        SetLastError(message == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    platform::ServiceWaitSources(platform::Milliseconds{0});
    const platform::MessageFilter filter{window, first, last};
    std::optional<MSG> ready = platform::TakeReady(filter, (options & PM_REMOVE) != 0);
    if (!ready) {
        return FALSE;
    }
    *message = *ready;
    return TRUE;
}

BOOL TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT DispatchMessageW(const MSG* message) {
    if (message == nullptr) {
        return 0;
    }
    if (message->message == WM_TIMER && message->lParam != 0) {
        auto procedure = reinterpret_cast<TIMERPROC>(message->lParam);
        // Only a live timer's own procedure is called: lParam of a posted WM_TIMER
        // is whatever the poster chose, and must never become a call target.
        if (!platform::TimerTable::Instance().HasProcedure(message->hwnd, message->wParam,
                                                           procedure)) {
            return 0;
        }
        procedure(message->hwnd, WM_TIMER, message->wParam, GetTickCount());
        return 0;
    }
    if (message->hwnd == nullptr) {
        return 0;
    }
    return SendMessageW(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (platform::ForeignWindows* foreign = platform::ForeignWindowsOf(window)) {
        return foreign->Post(window, message, wParam, lParam);
    }
    if (window != nullptr && !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return platform::PostToQueue(window, message, wParam, lParam);
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    if (threadId != GetCurrentThreadId()) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    return platform::PostToQueue(nullptr, message, wParam, lParam);
}

DWORD GetCurrentThreadId() {
    return static_cast<DWORD>(::gettid());
}

void PostQuitMessage(int exitCode) {
    platform::MessageQueue::Instance().RequestQuit(exitCode);
}
