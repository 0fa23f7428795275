// Choosing the key sink at start-up from the table of sinks
// (key_sink_registry.h): by name for --keys (or SWIPETYPE_KEYS), or by what the
// session offers when nothing was asked. A sink that lives in a module comes
// held by a keeper (key_sink_keeper.h), so that it outlives its display.
#pragma once

#include <memory>
#include <string>

#include "platform/keyboard/key_sink.h"

namespace platform {

// A Wayland session: WAYLAND_DISPLAY is set or XDG_SESSION_TYPE is "wayland".
bool WaylandSession();

// Makes the sink with that name. nullptr with `error` set to a sentence when
// the name is unknown or the sink cannot work here (no X server, no access to
// /dev/uinput, no compositor with the virtual keyboard protocol, unknown
// layout).
std::unique_ptr<KeySink> MakeKeySinkByName(const std::string& name, const KeySinkSettings& settings,
                                           std::string& error);

// The default: the first sink of the session's order in the table that works
// here. Under X11 that is xtest, then uinput; under Wayland wayland, then
// uinput, then xtest, which reaches only X11 applications there. When nothing
// works, the sink that discards events: card data is never printed unless the
// text sink is asked for. In a Wayland session the person is told once
// (platform/core/user_notice.h) when the sink taken reaches only X11 applications or none,
// with what is missing and how to get the better sink. Never nullptr. `why` is
// one line for the start-up message: the sink, and the reasons when it fell
// back.
std::unique_ptr<KeySink> ChooseDefaultKeySink(const KeySinkSettings& settings, std::string& why);

// Whether the X display named can be opened and typed into: the xtest sink's
// probe, so that asking costs no desktop library. `error` says why not.
bool XDisplayUsable(const std::string& displayName, std::string& error);

} // namespace platform
