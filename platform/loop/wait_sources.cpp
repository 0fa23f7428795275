// The descriptors the message loop waits on, polled with poll(). Kept apart from the
// queue so that a host with other needs (a GUI toolkit's main loop) can replace the
// waiting without touching message handling.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <poll.h>
#include <string>
#include <vector>

#include "platform/core/output_queue.h"
#include "platform/core/standard_streams.h"
#include "platform/loop/wait_hook.h"
#include "platform/loop/wait_sources.h"

namespace platform {
namespace {

struct WaitSource {
    WaitSourceId id;
    int fd;
    short events;
    WaitCallback callback;
};

struct Sources {
    std::vector<WaitSource> list;
    WaitSourceId nextId = 1;
};

Sources& State() {
    static Sources sources;
    return sources;
}

WaitHook& Hook() {
    static WaitHook hook;
    return hook;
}

// The lists one wait polls, kept from one wait to the next so that an idle
// program's ticks allocate nothing. A callback may wait again (a modal loop), so
// each depth of waiting has lists of its own.
struct PollLists {
    std::vector<pollfd> polled;
    std::vector<WaitSourceId> ids;
    std::vector<pollfd> hookDescriptors;
    std::vector<pollfd> outputs; // descriptors with output queued for them
};

class ListsForThisWait {
  public:
    ListsForThisWait() {
        if (Pool().size() == Depth()) {
            Pool().push_back(std::make_unique<PollLists>());
        }
        lists_ = Pool()[Depth()++].get();
        lists_->polled.clear();
        lists_->ids.clear();
        lists_->hookDescriptors.clear();
        lists_->outputs.clear();
    }
    ~ListsForThisWait() { --Depth(); }
    ListsForThisWait(const ListsForThisWait&) = delete;
    ListsForThisWait& operator=(const ListsForThisWait&) = delete;
    PollLists& operator*() const { return *lists_; }

  private:
    static std::vector<std::unique_ptr<PollLists>>& Pool() {
        static std::vector<std::unique_ptr<PollLists>> pool;
        return pool;
    }
    static std::size_t& Depth() {
        static std::size_t depth = 0;
        return depth;
    }
    PollLists* lists_;
};

const WaitSource* FindSource(WaitSourceId id) {
    const auto& list = State().list;
    auto found = std::find_if(list.begin(), list.end(),
                              [id](const WaitSource& source) { return source.id == id; });
    return found == list.end() ? nullptr : &*found;
}

int PollTimeout(Milliseconds timeout) {
    if (timeout.count() < 0) {
        return -1;
    }
    return static_cast<int>(std::min<Milliseconds::rep>(timeout.count(), 0x7FFFFFFF));
}

// The shorter of two poll() timeouts, where -1 means no limit.
int ShorterTimeout(int a, int b) {
    if (a < 0) {
        return b;
    }
    return b < 0 ? a : std::min(a, b);
}

} // namespace

int PollDescriptors(std::span<pollfd> descriptors, Milliseconds timeout) {
    int ready = ::poll(descriptors.data(), descriptors.size(), PollTimeout(timeout));
    if (ready <= 0) {
        for (pollfd& descriptor : descriptors) {
            descriptor.revents = 0;
        }
    }
    return ready;
}

namespace {

// Runs the callbacks of the ready sources. The list may change under a callback, so
// each one is looked up again by id before it runs.
int RunReady(const std::vector<pollfd>& polled, const std::vector<WaitSourceId>& ids) {
    int ran = 0;
    for (std::size_t i = 0; i < polled.size(); ++i) {
        if (polled[i].revents == 0) {
            continue;
        }
        const WaitSource* source = FindSource(ids[i]);
        if (source == nullptr) {
            continue;
        }
        WaitCallback callback = source->callback;
        callback(polled[i].fd, polled[i].revents);
        ++ran;
        if ((polled[i].revents & POLLNVAL) != 0 && RemoveWaitSource(ids[i])) {
            // Left in place it would make every later poll return at once.
            WriteErrorLine("message loop: descriptor " + std::to_string(polled[i].fd) +
                           " is not open; no longer waiting on it");
        }
    }
    return ran;
}

std::uint64_t& Waits() {
    static std::uint64_t waits = 0;
    return waits;
}

} // namespace

WaitSourceId AddWaitSource(int fd, short events, WaitCallback callback) {
    if (fd < 0 || !callback) {
        return 0;
    }
    Sources& state = State();
    WaitSourceId id = state.nextId++;
    state.list.push_back({id, fd, events, std::move(callback)});
    return id;
}

bool RemoveWaitSource(WaitSourceId id) {
    return std::erase_if(State().list, [id](const WaitSource& source) { return source.id == id; }) >
           0;
}

std::size_t WaitSourceCount() {
    return State().list.size();
}

std::uint64_t WaitCount() {
    return Waits();
}

// With a wait hook, its descriptors are polled after the sources' own, and its
// dispatch runs after every wait, ready or not: a toolkit's timeouts are due when
// the wait ends without any descriptor. Descriptors with output queued for them
// come last; what they take is written after the wait.
int ServiceWaitSources(Milliseconds timeout, std::span<pollfd> extra) {
    ++Waits();
    // A copy, so that a callback may replace or remove the hook while it runs.
    const WaitHook hook = Hook();
    const bool hooked = hook.prepare && hook.dispatch;
    ListsForThisWait lists;
    auto& [polled, ids, hookDescriptors, outputs] = *lists;
    AddQueuedOutputs(outputs);
    if (State().list.empty() && timeout.count() == 0 && !hooked && extra.empty() &&
        outputs.empty()) {
        return 0;
    }
    int pollTimeout = PollTimeout(timeout);
    if (hooked) {
        pollTimeout = ShorterTimeout(pollTimeout, hook.prepare(hookDescriptors));
    }
    const auto& list = State().list;
    for (const WaitSource& source : list) {
        polled.push_back({source.fd, source.events, 0});
        ids.push_back(source.id);
    }
    polled.insert(polled.end(), extra.begin(), extra.end());
    polled.insert(polled.end(), hookDescriptors.begin(), hookDescriptors.end());
    polled.insert(polled.end(), outputs.begin(), outputs.end());
    int ready = PollDescriptors(polled, Milliseconds{pollTimeout});
    // EINTR: a signal arrived; the caller looks at the queue again.
    for (std::size_t i = 0; i < extra.size(); ++i) {
        extra[i].revents = ready > 0 ? polled[ids.size() + i].revents : short{0};
    }
    const std::size_t outputStart = ids.size() + extra.size() + hookDescriptors.size();
    if (ready > 0 && !outputs.empty()) {
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            outputs[i].revents = polled[outputStart + i].revents;
        }
        WriteQueuedOutputs(outputs);
    }
    int ran = 0;
    if (hooked) {
        const std::size_t hookStart = ids.size() + extra.size();
        for (std::size_t i = 0; i < hookDescriptors.size(); ++i) {
            hookDescriptors[i].revents = ready > 0 ? polled[hookStart + i].revents : short{0};
        }
        ran += hook.dispatch(hookDescriptors);
    }
    if (ready > 0) {
        polled.resize(ids.size());
        ran += RunReady(polled, ids);
    }
    return ran;
}

void SetWaitHook(WaitHook hook) {
    if (!hook.prepare || !hook.dispatch) {
        hook = {};
    }
    Hook() = std::move(hook);
}

bool WaitHookInstalled() {
    return static_cast<bool>(Hook().prepare);
}

namespace detail {
void ClearWaitSources() {
    State().list.clear();
}
} // namespace detail

} // namespace platform
