// Waits that keep the thread's message queue served: the pauses and reply time
// limits of the modem command layer. See bio_wait.h for what ends a wait.
#include "bio/bio_wait.h"

#include <algorithm>
#include <cstdint>

#include "platform/core/system.h"
#include "platform/windowing/dialogs.h"
#include "platform/windowing/messages.h"

namespace {

constexpr int NoPort = -1;

unsigned short* TimerWords(BioWait* wait) {
    return reinterpret_cast<unsigned short*>(&wait->timer);
}

bool TimerRanOut(BioWait* wait) {
    return bio_get_timer(TimerWords(wait)) == BIO_TIMER_RUN_OUT;
}

// Takes at most one message from the queue, translates and dispatches it, and
// says whether it asks the waiting to stop: a quit message, or a cancel command
// whose wParam is IDCANCEL as a whole.
bool ServeOneMessage() {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        return false;
    }
    bool stop =
        message.message == WM_QUIT || (message.message == WM_COMMAND && message.wParam == IDCANCEL);
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return stop;
}

int PortlessStep(BioWait* wait) {
    if (TimerRanOut(wait)) {
        return BIO_WAIT_TIME_UP;
    }
    return ServeOneMessage() ? BIO_WAIT_TIME_UP : 0;
}

// The slot is looked up afresh at every step: a handler dispatched by an earlier
// step may have closed the port, and the wait must then end rather than read a
// freed slot. The status word is read afresh at each test for the same reason.
int PortStep(BioWait* wait) {
    if (bio_get_slot(wait->portId) == nullptr) {
        return BIO_NO_PORT;
    }
    if (wait->hook != nullptr) {
        int hookResult = wait->hook(wait->portId);
        if (hookResult != 0) {
            return hookResult;
        }
    }
    if (TimerRanOut(wait)) {
        return BIO_WAIT_TIME_UP;
    }
    // The hook may have closed the port too.
    PortSlot* slot = bio_get_slot(wait->portId);
    if (slot == nullptr) {
        return BIO_NO_PORT;
    }
    // After a break the queue is left alone, but the timer above still ends the
    // wait: a port that has seen a break must not hold its caller for ever.
    if (slot->statusWord & BIO_STATUS_BREAK) {
        return 0;
    }
    // A framing error does not keep the queue from being served: the person who
    // quits or cancels must not wait out the whole time limit for a line fault.
    int result = ServeOneMessage() ? BIO_WAIT_CANCELLED : 0;
    slot = bio_get_slot(wait->portId); // the dispatched message may have closed it
    if (slot == nullptr) {
        return result != 0 ? result : BIO_NO_PORT;
    }
    if (slot->statusWord & BIO_STATUS_OVERRUN) {
        Sleep(0);
    }
    if (slot->statusWord & BIO_STATUS_PARITY) {
        long resolution = bio_get_timerresolution();
        Sleep(resolution > 0 ? static_cast<DWORD>(resolution) : 1);
    }
    return result;
}

// Milliseconds until bio_get_timer reports the wait's timer run out: the elapsed
// time counts in whole units, so the timeout is reached at the next unit boundary.
std::int64_t TimeLeft(const BioWait* wait) {
    std::int64_t resolution = std::max<std::int64_t>(bio_get_timerresolution(), 1);
    std::int64_t timeout = wait->timer.timeout;
    std::int64_t needed = (timeout + resolution - 1) / resolution * resolution;
    std::int64_t elapsed = static_cast<DWORD>(GetTickCount() - wait->timer.startTick);
    return std::max<std::int64_t>(needed - elapsed, 0);
}

// Sleeps until something may change the outcome of the next step (see
// bio_wait_next). `stepBegan` is the tick at which the step that went on began.
void SleepBetweenSteps(const BioWait* wait, DWORD stepBegan, BioWakeOn wakeOn) {
    HANDLE port = nullptr;
    DWORD handles = 0;
    DWORD queue = QS_ALLINPUT;
    if (wait->portId != NoPort) {
        PortSlot* slot = bio_get_slot(wait->portId);
        if (slot == nullptr) {
            return; // the next step ends the wait
        }
        // After a break the steps leave the queue alone.
        if (slot->statusWord & BIO_STATUS_BREAK) {
            queue = 0;
        }
        if (wakeOn == BIO_WAKE_ON_INPUT) {
            port = slot->handle;
            handles = 1;
        }
    }
    std::int64_t left = TimeLeft(wait);
    if (wait->hook != nullptr) {
        std::int64_t sinceStep = static_cast<DWORD>(GetTickCount() - stepBegan);
        left = std::min<std::int64_t>(left, std::max<std::int64_t>(1 - sinceStep, 0));
    }
    if (left > 0) {
        MsgWaitForMultipleObjectsEx(handles, &port, static_cast<DWORD>(left), queue,
                                    MWMO_INPUTAVAILABLE);
    }
}

} // namespace

int bio_start_wait(int portId, int units, BioWait* wait) {
    wait->hook = nullptr;
    if (portId != NoPort) {
        PortSlot* slot = bio_get_slot(portId);
        if (slot == nullptr) {
            return BIO_NO_PORT;
        }
        wait->hook = slot->waitHook;
    }
    wait->portId = static_cast<short>(portId);
    bio_set_timer(units, TimerWords(wait));
    return 0;
}

int bio_wait_step(BioWait* wait) {
    return wait->portId == NoPort ? PortlessStep(wait) : PortStep(wait);
}

int bio_wait_next(BioWait* wait, BioWakeOn wakeOn) {
    DWORD stepBegan = GetTickCount();
    int result = bio_wait_step(wait);
    if (result == 0) {
        SleepBetweenSteps(wait, stepBegan, wakeOn);
    }
    return result;
}

int bio_wait_ticks(int portId, int units) {
    BioWait wait;
    if (bio_start_wait(portId, units, &wait) == BIO_NO_PORT) {
        return BIO_NO_PORT;
    }
    int result = 0;
    while (result == 0) {
        result = bio_wait_next(&wait, BIO_WAKE_ON_TIME);
    }
    return result;
}

int bio_set_waithook(int portId, BioWaitHook hook) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return BIO_NO_PORT;
    }
    slot->waitHook = hook;
    return 0;
}
