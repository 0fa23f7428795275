// How a part of the platform asks the program to end the orderly way, as its
// "Exit" command does (settings saved, tray icon removed, exit status 0): the
// desktop front end when its display went away. The host says what that end is.
#pragma once

#include <functional>

namespace platform {

// Installs what RequestOrderlyEnd does; an empty handler puts back the default.
void SetOrderlyEndHandler(std::function<void()> handler);

// Asks for the end. Without a handler, posts the quit message.
void RequestOrderlyEnd();

} // namespace platform
