// Waiting on the serial library's timers while the thread's message queue is
// served. A wait runs for a number of timer units (bio_timer.h) and can be ended
// early by the user (a quit message or a cancel command taken from the queue) or,
// for a wait tied to a port, by the port's wait hook. The modem command layer
// waits this way for its pauses and reply time limits.
//
// A wait is a loop of steps: each step takes at most one message and never blocks,
// except for the sleeps that the port's status word asks for (below). Between two
// steps the waiting function sleeps (bio_wait_next) until something can change
// the outcome of the next one, so a wait costs next to no processor time.
#pragma once

#include "bio/bio_port.h"
#include "bio/bio_timer.h"

// One wait, owned by whoever waits (normally a local of the waiting function).
struct BioWait {
    BioTimer timer;   // set when the wait starts
    BioWaitHook hook; // the port's hook when the wait started; null for none
    short portId;     // -1: the wait is tied to no port
};

// Fills `wait` for a wait of `units` timer units from now. A port id of -1 ties the
// wait to no port; any other id must name an open port, whose hook is copied.
// Returns 0, or BIO_NO_PORT (the wait is then unusable).
int bio_start_wait(int portId, int units, BioWait* wait);

// One step of a wait. Returns 0 while the wait goes on, otherwise why it ended:
//   BIO_WAIT_TIME_UP    the time ran out (for a wait tied to no port also a quit
//                       message or a cancel command, WM_COMMAND with wParam
//                       IDCANCEL, taken from the queue);
//   BIO_WAIT_CANCELLED  a quit message or a cancel command ended a port wait;
//   BIO_NO_PORT         the port was closed while the wait ran (a dispatched
//                       message may close it);
//   any other non-zero value: the port's hook returned it.
// A message taken from the queue is translated and dispatched whatever it is; one
// that ends the wait is not put back, so the caller's own loop never sees it.
//
// On a port wait the status word of accumulated line errors changes the step:
//   break seen (0x01)    no message is taken; the hook and the timer still end it;
//   overrun (0x04)       each step yields with Sleep(0);
//   parity (0x08)        each step sleeps one timer resolution.
int bio_wait_step(BioWait* wait);

// What, besides the message queue and the wait's time, ends the sleep between
// two steps: nothing more for a pause; bytes waiting on the port for a wait that
// reads them.
enum BioWakeOn { BIO_WAKE_ON_TIME, BIO_WAKE_ON_INPUT };

// One step of the wait (bio_wait_step). While the wait goes on, it then sleeps
// until the next step can find something: a message in the queue or a window
// timer due (unless a break keeps the step from the queue), the wait's
// time run out, with BIO_WAKE_ON_INPUT bytes waiting on the wait's port, and for a
// wait with a hook the next millisecond (a hook may end the wait at any moment
// and cannot be slept on, so it is asked every millisecond). Returns the step's
// result.
int bio_wait_next(BioWait* wait, BioWakeOn wakeOn);

// Waits `units` timer units on the port (or -1 for none), serving the message
// queue, in steps of bio_wait_next. Returns why the wait ended, as bio_wait_step
// says (BIO_WAIT_TIME_UP normally), or BIO_NO_PORT at once.
int bio_wait_ticks(int portId, int units);

// Installs `hook` as the port's wait hook (null removes it); waits started from
// then on call it at each step with the port id. 0, or BIO_NO_PORT.
int bio_set_waithook(int portId, BioWaitHook hook);
