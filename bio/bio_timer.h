// The serial library's millisecond timers, exported by name from the executable
// for other programs on the terminal. A timer unit lasts the library-wide
// resolution in milliseconds (1 at start).
//
// The timer record is two 32-bit words, the timeout in milliseconds and the tick
// count when the timer was set; callers hand it over as `unsigned short *`, the
// type the exported interface has always had. The words are read and written
// byte-wise, so a record at any alignment works.
#pragma once

#include "bio/bio_results.h"
#include "platform/core/types.h"

struct BioTimer {
    INT timeout;     // milliseconds: units times the resolution when set
    DWORD startTick; // GetTickCount() when set
};

extern "C" {

// Sets the timer to run `units` timer units from now. Always returns 0.
int bio_set_timer(long units, unsigned short* timer);

// Whole timer units since the timer was set (the tick count may have wrapped).
long bio_get_elapsedtime(unsigned short* timer);

// BIO_TIMER_RUNNING (-1) while the timer runs, BIO_TIMER_RUN_OUT (0) once it has
// run out.
int bio_get_timer(unsigned short* timer);

// Milliseconds per timer unit. Stored as given; a value of 0 or below counts as
// 1 in the arithmetic, so no division by zero and timers still run out.
void bio_set_timerresolution(long milliseconds);
long bio_get_timerresolution(void);
}
