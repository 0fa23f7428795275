// The Wayland sink's connection to the compositor, with every wait bounded:
// a compositor that stops answering costs the program a moment, never its loop.
// libwayland-client queues requests in a buffer of its own and would give up
// the connection if that buffer filled while the socket is full; the sink
// therefore sends what it wrote after every key event (FlushRequests), waiting
// for room in the socket when the compositor falls behind.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include <wayland-client.h>

namespace platform {

struct WaylandDisplayDeleter {
    void operator()(wl_display* display) const { wl_display_disconnect(display); }
};
using WaylandDisplayPtr = std::unique_ptr<wl_display, WaylandDisplayDeleter>;

// The compositor's socket as messages name it: $WAYLAND_DISPLAY, else
// "wayland-0", which is where libwayland-client then connects.
std::string CompositorName();

// Connects to the compositor; nullptr with `error` set to a sentence.
WaylandDisplayPtr ConnectToCompositor(std::string& error);

// Sends every request written so far, waiting up to `limit` while the socket
// is full. False when the connection is lost or the compositor took nothing
// for that long.
bool FlushRequests(wl_display* display, std::chrono::milliseconds limit);

// Waits until the compositor has handled every request sent so far,
// dispatching the events that arrive meanwhile. False when the connection is
// lost or `limit` ran out.
bool RoundTrip(wl_display* display, std::chrono::milliseconds limit);

// Reads and dispatches the events that have arrived, without waiting. False
// when the connection is lost.
bool DispatchArrived(wl_display* display);

} // namespace platform
