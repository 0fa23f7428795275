// Waits that keep the thread's message queue served: the pauses and reply time
// limits of the modem command layer. See bio_wait.h for what ends a wait.
#include "bio/bio_wait.h"

#include "platform/dialogs.h"
#include "platform/messages.h"
#include "platform/system.h"

namespace {

constexpr int NoPort = -1;

unsigned short* TimerWords(BioWait* wait) {
    return reinterpret_cast<unsigned short*>(&wait->timer);
}

bool TimerRanOut(BioWait* wait) {
    return bio_get_timer(TimerWords(wait)) == 0;
}

// Takes at most one message from the queue, translates and dispatches it, and
// says whether it asks the waiting to stop: a quit message, or a cancel command
// whose wParam is IDCANCEL as a whole.
bool ServeOneMessage() {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        return false;
    }
    bool stop = message.message == WM_QUIT ||
                (message.message == WM_COMMAND && message.wParam == IDCANCEL);
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return stop;
}

int PortlessStep(BioWait* wait) {
    if (TimerRanOut(wait)) {
        return 1;
    }
    return ServeOneMessage() ? 1 : 0;
}

// The slot is looked up afresh at every step: a handler dispatched by an earlier
// step may have closed the port, and the wait must then end rather than read a
// freed slot. The status word is read afresh at each test for the same reason.
int PortStep(BioWait* wait) {
    if (bio_get_slot(wait->portId) == nullptr) {
        return 7;
    }
    if (wait->hook != nullptr) {
        int hookResult = wait->hook(wait->portId);
        if (hookResult != 0) {
            return hookResult;
        }
    }
    if (TimerRanOut(wait)) {
        return 1;
    }
    // The hook may have closed the port too.
    PortSlot* slot = bio_get_slot(wait->portId);
    if (slot == nullptr) {
        return 7;
    }
    // After a break the queue is left alone, but the timer above still ends the
    // wait: a port that has seen a break must not hold its caller for ever.
    if (slot->statusWord & BIO_STATUS_BREAK) {
        return 0;
    }
    int result = 0;
    if (!(slot->statusWord & BIO_STATUS_FRAMING) && ServeOneMessage()) {
        result = 2;
    }
    slot = bio_get_slot(wait->portId); // the dispatched message may have closed it
    if (slot == nullptr) {
        return result != 0 ? result : 7;
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

} // namespace

int bio_start_wait(int portId, int units, BioWait* wait) {
    wait->hook = nullptr;
    if (portId != NoPort) {
        PortSlot* slot = bio_get_slot(portId);
        if (slot == nullptr) {
            return 7;
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

int bio_wait_ticks(int portId, int units) {
    BioWait wait;
    if (bio_start_wait(portId, units, &wait) == 7) {
        return 7;
    }
    int result = 0;
    while (result == 0) {
        result = bio_wait_step(&wait);
    }
    return result;
}

int bio_set_waithook(int portId, BioWaitHook hook) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return 7;
    }
    slot->waitHook = hook;
    return 0;
}
