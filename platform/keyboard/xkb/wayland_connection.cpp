#include "platform/keyboard/xkb/wayland_connection.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>

#include "platform/core/errors.h"
#include "platform/core/fd_io.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// Waits for `events` on the display's socket until `deadline`; false when the
// time ran out first.
bool WaitFor(wl_display* display, short events, Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd descriptor{wl_display_get_fd(display), events, 0};
    int timeout = static_cast<int>(std::max<long long>(left.count(), 0));
    return RetryOnInterrupt([&] { return ::poll(&descriptor, 1, timeout); }) > 0;
}

// Reads what the socket holds once it is readable, within the deadline.
bool ReadUntil(wl_display* display, Clock::time_point deadline) {
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) {
            return false;
        }
    }
    if (!FlushRequests(display, std::chrono::duration_cast<std::chrono::milliseconds>(
                                    deadline - Clock::now())) ||
        !WaitFor(display, POLLIN, deadline)) {
        wl_display_cancel_read(display);
        return false;
    }
    return wl_display_read_events(display) >= 0 && wl_display_dispatch_pending(display) >= 0;
}

void OnSyncDone(void* data, wl_callback*, uint32_t) {
    *static_cast<bool*>(data) = true;
}

const wl_callback_listener SyncListener{OnSyncDone};

struct CallbackDeleter {
    void operator()(wl_callback* callback) const { wl_callback_destroy(callback); }
};

} // namespace

std::string CompositorName() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    return name != nullptr && *name != '\0' ? std::string(name) : std::string("wayland-0");
}

WaylandDisplayPtr ConnectToCompositor(std::string& error) {
    WaylandDisplayPtr display(wl_display_connect(nullptr));
    if (!display) {
        error = "cannot connect to the Wayland compositor " + CompositorName() + " (" +
                ErrorText() + ")";
    }
    return display;
}

bool FlushRequests(wl_display* display, std::chrono::milliseconds limit) {
    Clock::time_point deadline = Clock::now() + limit;
    while (wl_display_flush(display) < 0) {
        if (errno != EAGAIN || !WaitFor(display, POLLOUT, deadline)) {
            return false;
        }
    }
    return wl_display_get_error(display) == 0;
}

bool RoundTrip(wl_display* display, std::chrono::milliseconds limit) {
    Clock::time_point deadline = Clock::now() + limit;
    bool done = false;
    std::unique_ptr<wl_callback, CallbackDeleter> sync(wl_display_sync(display));
    if (!sync || wl_callback_add_listener(sync.get(), &SyncListener, &done) != 0) {
        return false;
    }
    while (!done) {
        if (!ReadUntil(display, deadline)) {
            return false;
        }
    }
    return wl_display_get_error(display) == 0;
}

bool DispatchArrived(wl_display* display) {
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) {
            return false;
        }
    }
    if (wl_display_read_events(display) < 0) {
        return false;
    }
    return wl_display_dispatch_pending(display) >= 0 && wl_display_get_error(display) == 0;
}

} // namespace platform
