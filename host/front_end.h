// Who shows the program's windows: nobody (headless; the windows live in the
// window system and are reached through swipetype-send), or a desktop front end.
#pragma once

#include <optional>
#include <string>

namespace host {

// The front end to use: the one asked for, else gtk when DISPLAY names a server
// it can open, else headless.
std::string ChooseFrontEnd(const std::optional<std::string>& asked);

// Starts it. False with `error` set to one sentence when it cannot run here.
bool StartFrontEnd(const std::string& name, std::string& error);
void StopFrontEnd();

} // namespace host
