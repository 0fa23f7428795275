// The GNOME sink: keysyms handed to mutter through its remote-desktop interface
// on the session bus (org.gnome.Mutter.RemoteDesktop), which any program of the
// session may use without a prompt. mutter turns each keysym into the key of the
// session's own layout that gives it, with the modifiers it needs, and passes it
// to the focused application, native or X11.
//
// GNOME Shell shows screen sharing while a remote-desktop session exists, so
// the sink opens one when a read is typed and ends it a moment after the last
// key. A seat with no keyboard gets one only with a session's first key: the
// sink then presses Shift and waits until its own Wayland connection sees the
// keyboard come, and the applications a moment more to bind it, so the first
// real key arrives.
//
// mutter types a keysym with the first key that holds it in its layout, on the
// first three levels only, and drops one it has no key for. The sink reads
// that layout from mutter's seat (MutterSeat) and answers CanType with it;
// Post does not send what it cannot type.
//
// Contract of Post, as the Wayland sink's: key-down events are typed (press and
// release at once), key-up events and the modifier events that frame a
// character are accepted and ignored. Keys are sent in order without asking
// for answers. The session's Closed signal, mutter leaving the bus or the bus
// or Wayland connection ending make the sink Lost(), which the keeper waits out.
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
