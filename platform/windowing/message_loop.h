// The message loop's host side: the seams that let tests and hosts run the loop
// for a stretch of time. The descriptors it waits on besides the clock are the
// wait sources (platform/loop/wait_sources.h).
#pragma once

#include "platform/core/clock.h"
#include "platform/core/types.h"
#include "platform/loop/wait_sources.h"

namespace platform {

// Dispatches every message that is ready now, due timers included, without waiting
// and without moving the clock; stops at WM_QUIT, which stays pending. Returns the
// number of messages dispatched.
int PumpMessages();

// Runs the loop for `duration` on the clock in use. With the manual clock the clock
// is moved from one due timer to the next, each dispatched as it comes due, and
// nothing waits for real time; with the real clock the loop waits in poll() as
// GetMessageW would. Returns false when it stopped early at WM_QUIT (still pending).
bool RunMessagesFor(Milliseconds duration);

// True when PostQuitMessage was called and its WM_QUIT not yet taken.
bool QuitPending();

// For tests: drops every posted message, timer and quit request, and every source.
void ResetMessageLoop();

} // namespace platform
