// Whether an X server can be reached, for the default front end: asked of Xlib
// in the X11 module, so that the answer maps no desktop library.
#pragma once

#include <string>

namespace platform {

// True when an X client can connect to the server `displayName` names. False
// otherwise; `error` is set only when the X11 module, which would connect,
// cannot be loaded.
bool XDisplayUsable(const std::string& displayName, std::string& error);

} // namespace platform
