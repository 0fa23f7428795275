// Who shows the program's windows: nobody (headless; the windows live in the
// window system and are reached through swipetype-send), or the desktop front
// end, a module (swipetype-gtk.so) that is loaded only then, so that a headless
// program maps no desktop library.
#pragma once

#include <optional>
#include <string>

namespace host {

// Starts the front end asked for ("headless" or "gtk"), or without a request the
// default: gtk when DISPLAY names a server that can be opened, else headless.
// False with `error` set to one line when the front end asked for cannot run; a
// default that cannot run gives way to headless and says why on standard error.
bool StartFrontEnd(const std::optional<std::string>& asked, std::string& error);
void StopFrontEnd();

} // namespace host
