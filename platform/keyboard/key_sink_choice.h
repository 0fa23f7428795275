// Choosing the key sink at start-up: by name for --keys (or SWIPETYPE_KEYS),
// or by what the machine offers when nothing was asked.
#pragma once

#include <memory>
#include <string>
#include <unistd.h>

#include "platform/keyboard/key_sink.h"

namespace platform {

struct KeySinkSettings {
    std::string display; // X display for xtest; "" means $DISPLAY
    std::string layout;  // layout the uinput sink types for; "" means the default
    std::string uinputPath = "/dev/uinput";
    int textFd = STDOUT_FILENO; // where the text sink prints
};

// True for "xtest", "uinput", "text" and "none".
bool IsKeySinkName(const std::string& name);

// Makes the sink with that name. nullptr with `error` set to a sentence when
// the name is unknown or the sink cannot work here (no X server, no access to
// /dev/uinput, unknown layout). "none" gives the sink that discards events.
std::unique_ptr<KeySink> MakeKeySinkByName(const std::string& name, const KeySinkSettings& settings,
                                           std::string& error);

// The default: xtest when the display names a server that offers XTest, else
// uinput when the uinput device can be opened, else none (card data is never
// printed unless the text sink is asked for). In a Wayland session
// (WAYLAND_DISPLAY or XDG_SESSION_TYPE=wayland) uinput comes first, since XTest
// reaches only X11 applications there; when xtest is taken there anyway, the
// user is told so once (user_notice.h) with how to enable uinput. Never nullptr.
// `why` is one line for the start-up message: the sink, and the reasons when it
// fell back.
std::unique_ptr<KeySink> ChooseDefaultKeySink(const KeySinkSettings& settings, std::string& why);

} // namespace platform
