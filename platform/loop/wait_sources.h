// The descriptors the message loop waits on besides the clock.
//
// A wait source is a descriptor and a callback. GetMessageW and PeekMessageW poll
// the sources before they look at the queue; a callback runs on the loop's thread
// when its descriptor is ready and usually posts messages (a socket that carries
// messages from another process, a front end's connection, a signal descriptor).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <poll.h>
#include <span>

#include "platform/core/clock.h"

namespace platform {

using WaitSourceId = int;
// Receives the descriptor and the poll() events that are ready (POLLIN, POLLHUP...).
using WaitCallback = std::function<void(int fd, short readyEvents)>;

// Registers a descriptor to wait on for `events` (poll() flags). Returns an id for
// RemoveWaitSource, or 0 when fd is negative or the callback is empty. A source
// whose descriptor turns out invalid (POLLNVAL) is told so once and removed.
WaitSourceId AddWaitSource(int fd, short events, WaitCallback callback);
// Returns false when no such source is registered. A callback may remove any source,
// itself included.
bool RemoveWaitSource(WaitSourceId id);
std::size_t WaitSourceCount();

// Waits until a source is ready or `timeout` has passed on the real clock (negative:
// no limit; 0: just looks), then runs the callbacks of the ready sources. The
// `extra` descriptors, which have no callbacks, are polled in the same poll() and
// get their revents (all 0 after an interrupted wait). Returns the number of
// callbacks run; an interrupted wait returns 0.
int ServiceWaitSources(Milliseconds timeout, std::span<pollfd> extra = {});

// One poll() of `descriptors` for at most `timeout` (negative: no limit): the
// number ready; after an interrupted or failed poll every revents is 0. The
// loop's only poll(), for waits with or without the sources.
int PollDescriptors(std::span<pollfd> descriptors, Milliseconds timeout);

// How many waits ServiceWaitSources has begun: work done between two equal
// counts was done in one go, without the loop waiting in between.
std::uint64_t WaitCount();

namespace detail {
// For the message loop's reset in tests: forgets every source.
void ClearWaitSources();
} // namespace detail

} // namespace platform
