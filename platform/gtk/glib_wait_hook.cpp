#include "platform/gtk/glib_wait_hook.h"

#include <glib.h>
#include <vector>

#include "platform/loop/wait_hook.h"

namespace platform::gtk_front_end {
namespace {

struct HookState {
    std::function<void()> beforeWait;
    std::function<void(const std::vector<pollfd>&)> afterWait;
    GMainContext* context = nullptr;
    // The priority each prepared iteration found; an iteration is finished by the
    // dispatch of the same wait, so nested waits (a modal loop run from a GTK
    // callback) stack up and unwind in order.
    std::vector<gint> preparedPriorities;
};

HookState& State() {
    static HookState state;
    return state;
}

// GLib's poll flags are poll()'s on Linux; the conversion is still spelled out so
// that a mismatch fails to compile rather than loses events.
static_assert(G_IO_IN == POLLIN && G_IO_OUT == POLLOUT && G_IO_PRI == POLLPRI &&
              G_IO_ERR == POLLERR && G_IO_HUP == POLLHUP && G_IO_NVAL == POLLNVAL);

int Prepare(std::vector<pollfd>& descriptors) {
    HookState& state = State();
    if (state.beforeWait) {
        state.beforeWait();
    }
    gint priority = 0;
    g_main_context_prepare(state.context, &priority);
    std::vector<GPollFD> fds(8);
    gint timeout = -1;
    gint count = 0;
    for (;;) {
        count = g_main_context_query(state.context, priority, &timeout, fds.data(),
                                     static_cast<gint>(fds.size()));
        if (count <= static_cast<gint>(fds.size())) {
            break;
        }
        fds.resize(static_cast<std::size_t>(count));
    }
    for (gint i = 0; i < count; ++i) {
        descriptors.push_back({fds[i].fd, static_cast<short>(fds[i].events), 0});
    }
    state.preparedPriorities.push_back(priority);
    return timeout;
}

int Dispatch(const std::vector<pollfd>& descriptors) {
    HookState& state = State();
    if (state.preparedPriorities.empty()) {
        return 0;
    }
    gint priority = state.preparedPriorities.back();
    state.preparedPriorities.pop_back();
    if (state.afterWait) {
        state.afterWait(descriptors);
    }
    std::vector<GPollFD> fds;
    fds.reserve(descriptors.size());
    for (const pollfd& descriptor : descriptors) {
        fds.push_back({descriptor.fd, static_cast<gushort>(descriptor.events),
                       static_cast<gushort>(descriptor.revents)});
    }
    if (!g_main_context_check(state.context, priority, fds.data(), static_cast<gint>(fds.size()))) {
        return 0;
    }
    g_main_context_dispatch(state.context);
    return 1;
}

} // namespace

void InstallGlibWaitHook(std::function<void()> beforeWait,
                         std::function<void(const std::vector<pollfd>&)> afterWait) {
    HookState& state = State();
    if (state.context == nullptr) {
        state.context = g_main_context_default();
        g_main_context_acquire(state.context);
    }
    state.beforeWait = std::move(beforeWait);
    state.afterWait = std::move(afterWait);
    SetWaitHook({Prepare, Dispatch});
}

void RemoveGlibWaitHook() {
    HookState& state = State();
    SetWaitHook({});
    state.beforeWait = nullptr;
    state.afterWait = nullptr;
    state.preparedPriorities.clear();
    if (state.context != nullptr) {
        g_main_context_release(state.context);
        state.context = nullptr;
    }
}

} // namespace platform::gtk_front_end
