// A second party to the message loop's wait: a GUI toolkit's main loop (GLib's,
// for the desktop front end) whose descriptors and timeouts change from one wait
// to the next, so that they cannot be fixed wait sources. The loop asks the hook
// before every poll() which descriptors it wants and how long it may wait at
// most, polls them together with its own sources, and hands the results back.
// One thread does all of it: the toolkit's callbacks run inside
// ServiceWaitSources, like the callbacks of the wait sources.
#pragma once

#include <functional>
#include <poll.h>
#include <vector>

namespace platform {

struct WaitHook {
    // Before a wait: appends the descriptors to poll (their revents cleared) and
    // returns the longest wait it allows in milliseconds, -1 for no limit.
    std::function<int(std::vector<pollfd>& descriptors)> prepare;
    // After the wait: the descriptors that prepare appended, in the same order,
    // with revents filled (all 0 when the wait was interrupted). Returns the
    // number of callbacks it ran.
    std::function<int(const std::vector<pollfd>& descriptors)> dispatch;
};

// Installs the hook (one at a time); a hook with an empty function removes it.
void SetWaitHook(WaitHook hook);
bool WaitHookInstalled();

} // namespace platform
