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

// Installs what the host does once the program's message loop has ended, given
// the loop's exit status; it returns the status the process ends with.
void SetOrderlyFinish(std::function<int(int)> finish);

// Ends the program the orderly way and never returns, for a caller that must not
// be returned to: the handler of a lost display runs deep inside the display
// library, whose every later request would crash. Asks for the end, serves the
// program's messages as its own loop would until it quits, runs the host's
// finish and exits with its status.
void EndOrderlyHere(); // does not return

} // namespace platform
