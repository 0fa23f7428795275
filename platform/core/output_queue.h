// Writing to descriptors that someone else reads at their own pace: the
// program's standard output and error. A pipe that nobody reads or a terminal
// paused with Ctrl-S must not hold up the program's one thread, so a write here
// never waits. What the descriptor takes now goes out; the rest waits in a
// queue of the descriptor's own, which the message loop writes whenever the
// descriptor can take more (it polls for that beside its wait sources).
//
// The queue holds at most kOutputQueueLimit bytes. What does not fit is
// dropped, and so is what the same message (the loop's work between two waits)
// had queued already, so that a reader never gets half of what one message
// wrote: half a card number typed into a pipe would be a wrong card number.
// Dropping goes on until the queue has been written out. Its start is said
// once, in the event log and on standard error (which, when it is standard
// error that is stuck, shows the note once it is read again), and its end with
// the number of bytes lost.
//
// How a write avoids waiting depends on the descriptor: a descriptor open
// without waiting (standard_streams.h gives standard output and error private
// ones) and a regular file are simply written; a socket is sent to with
// MSG_DONTWAIT; any other pipe or terminal is first polled and then given at
// most PIPE_BUF bytes, which a pipe with room always takes whole.
#pragma once

#include <chrono>
#include <cstddef>
#include <poll.h>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr std::size_t kOutputQueueLimit = std::size_t{16} * 1024;

// Writes bytes to fd, or queues them, or drops them as above, without waiting.
// False with errno set when the descriptor failed (EPIPE for a pipe nobody
// reads any more, EBADF, ENOSPC...): the caller says that in its own words.
bool WriteWithoutWaiting(int fd, std::string_view bytes);

// For the message loop, before it waits: appends {fd, POLLOUT} for each
// descriptor with bytes queued. The loop's work after this wait is a new
// message as far as dropping goes.
void AddQueuedOutputs(std::vector<pollfd>& polled);

// After the wait: writes what each ready descriptor takes now. A descriptor
// that fails (its reader went away) loses its queue; the next write to it
// fails and is said by its writer.
void WriteQueuedOutputs(const std::vector<pollfd>& polled);

// At the end of the program: waits up to `patience` for the queues to be
// written; what is still queued then is dropped and said in the event log.
void FlushQueuedOutputs(std::chrono::milliseconds patience);

} // namespace platform
