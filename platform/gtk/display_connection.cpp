#include "platform/gtk/display_connection.h"

#include <gdk/gdk.h>
#include <gdk/gdkwayland.h>
#include <wayland-client.h>
// Xlib last: its None, True and False are macros.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace platform::gtk_front_end {
namespace {

struct Watch {
    void (*lost)(const std::string& display) = nullptr;
    std::string name;
    wl_display* wayland = nullptr;
    bool reported = false;
};

Watch& State() {
    static Watch watch;
    return watch;
}

void Report() {
    Watch& watch = State();
    if (!watch.reported && watch.lost != nullptr) {
        watch.reported = true;
        watch.lost(watch.name);
    }
}

// Xlib calls this handler for any broken connection, then the connection's own
// exit handler (which by default ends the process). Every connection of this
// program has its own: the display's below, a key sink's in the sink.
int OnBrokenConnection(Display*) {
    return 0;
}

void OnXDisplayLost(Display*, void*) {
    Report();
}

// A hang-up or error on the socket, or an error libwayland has already met
// (a failed write while GDK queued a request), is a connection gone.
bool WaylandGone(short revents) {
    return (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 ||
           wl_display_get_error(State().wayland) != 0;
}

} // namespace

DisplayKind DefaultDisplayKind(std::string& name) {
    GdkDisplay* display = gdk_display_get_default();
    name = display != nullptr ? gdk_display_get_name(display) : "";
    if (display != nullptr && GDK_IS_X11_DISPLAY(display)) {
        return DisplayKind::X11;
    }
    if (display != nullptr && GDK_IS_WAYLAND_DISPLAY(display)) {
        return DisplayKind::Wayland;
    }
    return DisplayKind::Other;
}

void WatchDisplayConnection(void (*lost)(const std::string& display)) {
    Watch& watch = State();
    watch.lost = lost;
    std::string name;
    switch (DefaultDisplayKind(name)) {
    case DisplayKind::X11:
        watch.name = "the X display " + name;
        XSetIOErrorHandler(OnBrokenConnection);
        XSetIOErrorExitHandler(GDK_DISPLAY_XDISPLAY(gdk_display_get_default()), OnXDisplayLost,
                               nullptr);
        break;
    case DisplayKind::Wayland:
        watch.name = "the Wayland compositor " + name;
        watch.wayland = gdk_wayland_display_get_wl_display(gdk_display_get_default());
        break;
    case DisplayKind::Other:
        break;
    }
}

void CheckDisplayConnection() {
    Watch& watch = State();
    if (watch.wayland == nullptr) {
        return;
    }
    pollfd descriptor{wl_display_get_fd(watch.wayland), 0, 0};
    ::poll(&descriptor, 1, 0);
    if (WaylandGone(descriptor.revents)) {
        Report();
    }
}

void CheckDisplayConnection(const std::vector<pollfd>& polled) {
    Watch& watch = State();
    if (watch.wayland == nullptr) {
        return;
    }
    int fd = wl_display_get_fd(watch.wayland);
    for (const pollfd& descriptor : polled) {
        if (descriptor.fd == fd && WaylandGone(descriptor.revents)) {
            Report();
        }
    }
}

} // namespace platform::gtk_front_end
