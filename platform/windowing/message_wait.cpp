// MsgWaitForMultipleObjectsEx: a sleep that ends at serial input, queue input or a
// time limit, whichever comes first. It is the message loop's own wait: the ports'
// descriptors go into the same poll() as the loop's wait sources and wait hook.
// A device without a descriptor (the in-memory one) says when its next input is
// due, and that moment bounds the sleep.
#include <algorithm>
#include <optional>
#include <vector>

#include "platform/core/handle_table.h"
#include "platform/core/system.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/message_queue.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/timers.h"

namespace platform {
namespace {

constexpr DWORD kPostedInput = QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
constexpr short kGone = POLLHUP | POLLERR | POLLNVAL;

bool QueueHasInput(DWORD wakeMask) {
    if ((wakeMask & kPostedInput) != 0 && (MessageQueue::Instance().Size() != 0 || QuitPending())) {
        return true;
    }
    if ((wakeMask & QS_TIMER) == 0) {
        return false;
    }
    std::optional<Milliseconds> due = TimerTable::Instance().NextDue(MessageFilter{});
    return due && *due <= ClockNow();
}

// One round's view of the ports: the descriptors to poll, whose port each is,
// and the earliest scheduled input.
struct PortWatch {
    std::optional<DWORD> ready; // a port whose input already waits
    bool closed = false;        // a handle no longer names a port
    std::vector<pollfd> descriptors;
    std::vector<DWORD> owners;
    std::optional<Milliseconds> nextArrival;
};

// The ports are looked up afresh at every round: a callback run while the wait
// slept may have closed one.
PortWatch WatchPorts(const std::vector<HANDLE>& handles, const std::vector<bool>& gone) {
    PortWatch watch;
    for (DWORD i = 0; i < handles.size(); ++i) {
        HandleObject* port = FindHandle(handles[i]);
        if (port == nullptr) {
            watch.closed = true;
            return watch;
        }
        InputWatch input = port->WatchInput();
        if (input.waiting) {
            watch.ready = i;
            return watch;
        }
        if (input.nextArrival) {
            watch.nextArrival =
                EarlierOf(watch.nextArrival, std::chrono::ceil<Milliseconds>(*input.nextArrival));
        }
        if (input.descriptor >= 0 && !gone[i]) {
            watch.descriptors.push_back({input.descriptor, POLLIN, 0});
            watch.owners.push_back(i);
        }
    }
    return watch;
}

// Polls the descriptors, with the loop's sources and hook unless the mask leaves
// the queue alone, for at most `timeout` (negative: no limit).
void Poll(std::vector<pollfd>& descriptors, Milliseconds timeout, DWORD wakeMask) {
    if (wakeMask != 0) {
        ServiceWaitSources(timeout, descriptors);
    } else {
        PollDescriptors(descriptors, timeout);
    }
}

bool AnyReady(const std::vector<pollfd>& descriptors) {
    return std::any_of(descriptors.begin(), descriptors.end(),
                       [](const pollfd& descriptor) { return descriptor.revents != 0; });
}

// Sleeps until `wake` (none: no limit) or until a descriptor or source needs
// attention. False when that can never end: the manual clock with nothing to
// wait for.
bool SleepFor(std::vector<pollfd>& descriptors, std::optional<Milliseconds> wake, DWORD wakeMask) {
    auto look = [&](Milliseconds timeout) {
        Poll(descriptors, timeout, wakeMask);
        return AnyReady(descriptors) || QueueHasInput(wakeMask);
    };
    return SleepUntil(wake, look,
                      !descriptors.empty() || (wakeMask != 0 && WaitSourceCount() != 0));
}

DWORD WaitForInput(const std::vector<HANDLE>& handles, std::optional<Milliseconds> deadline,
                   DWORD wakeMask) {
    const DWORD queueReady = WAIT_OBJECT_0 + static_cast<DWORD>(handles.size());
    std::vector<bool> gone(handles.size(), false);
    bool looked = false;
    for (;;) {
        PortWatch watch = WatchPorts(handles, gone);
        if (watch.closed) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        if (watch.ready) {
            return WAIT_OBJECT_0 + *watch.ready;
        }
        if (QueueHasInput(wakeMask)) {
            return queueReady;
        }
        if (looked && deadline && ClockNow() >= *deadline) {
            return WAIT_TIMEOUT;
        }
        std::optional<Milliseconds> wake = EarlierOf(deadline, watch.nextArrival);
        if ((wakeMask & QS_TIMER) != 0) {
            wake = EarlierOf(wake, TimerTable::Instance().NextDue(MessageFilter{}));
        }
        if (!SleepFor(watch.descriptors, wake, wakeMask)) {
            SetLastError(ERROR_TIMEOUT);
            return WAIT_FAILED;
        }
        looked = true;
        for (std::size_t k = 0; k < watch.descriptors.size(); ++k) {
            short events = watch.descriptors[k].revents;
            if ((events & POLLIN) != 0) {
                return WAIT_OBJECT_0 + watch.owners[k];
            }
            // Hung up or closed: it would make every later poll return at once.
            if ((events & kGone) != 0) {
                gone[watch.owners[k]] = true;
            }
        }
    }
}

} // namespace
} // namespace platform

DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD milliseconds,
                                  DWORD wakeMask, DWORD flags) {
    if (count > MAXIMUM_WAIT_OBJECTS || (count > 0 && handles == nullptr) ||
        (flags & ~MWMO_INPUTAVAILABLE) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<HANDLE> ports(handles, handles + count);
    std::optional<platform::Milliseconds> deadline;
    if (milliseconds != INFINITE) {
        deadline = platform::ClockNow() + platform::Milliseconds{milliseconds};
    }
    return platform::WaitForInput(ports, deadline, wakeMask);
}
