// The desktop front end: the window system's windows, dialogs, menus and tray
// icons shown with GTK 3, as a Wayland client where WAYLAND_DISPLAY names a
// compositor, else on the X display. The window system stays the owner of
// every window's state; the GTK widgets mirror it and turn what a person does
// (a click, typing, a tap on the tray icon) into the messages the device would
// have produced. Everything runs on the program's one thread: GetMessageW serves
// GLib's main context, so an idle program still waits in one poll().
#pragma once

#include <string>

namespace platform {

// Starts mirroring the window system on the display: GLib's main context is served by
// GetMessageW through wait sources/timeouts (one thread, idle uses no CPU).
// False with `error` set to one sentence when it cannot start.
bool StartGtkFrontEnd(std::string& error);
void StopGtkFrontEnd();

} // namespace platform
