// The GNOME sink: keysyms handed to mutter through its remote-desktop interface
// on the session bus (org.gnome.Mutter.RemoteDesktop), which any program of the
// session may use without a prompt. mutter turns each keysym into the key of the
// session's own layout that gives it, with the modifiers it needs, and passes it
// to the focused application, native or X11.
//
// One remote-desktop session is made with the sink and kept while it lives.
// mutter makes the session's keyboard only when its first key arrives, and keys
// sent before it is there are lost; the sink therefore presses Shift once at
// start and gives mutter a moment before the first real key.
//
// Contract of Post, as the Wayland sink's: key-down events are typed (press and
// release at once), key-up events and the modifier events that frame a
// character are accepted and ignored. Calls are sent in order without waiting
// for their replies; the replies are read from the loop (EventDescriptor,
// Service). An error reply, the session's Closed signal, mutter leaving the bus
// or the bus connection ending make the sink Lost(), which the keeper waits out.
#pragma once

#include <memory>
#include <string>

#include "platform/keyboard/key_sink.h"

namespace platform {

// nullptr with `error` set to a sentence when there is no session bus, mutter's
// interface does not answer, or it refuses a session.
std::unique_ptr<KeySink> MakeGnomeKeySink(std::string& error);

namespace key_sink_factories {
// The module's probe (mutter's remote-desktop interface answers) and factory.
extern const KeySinkFactory gnome;
} // namespace key_sink_factories

} // namespace platform
