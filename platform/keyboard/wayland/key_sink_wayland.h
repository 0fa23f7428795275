// The Wayland sink: a virtual keyboard of the compositor, through the wlroots
// virtual keyboard protocol (zwp_virtual_keyboard_manager_v1), for the seat the
// compositor names first. It hands the compositor a keymap of its own
// (virtual_keymap.h), so that every character reaches the focused application
// as itself whatever layout the user has; the compositor passes the keymap on to
// the application with the keys.
//
// Contract of Post, as the X11 sink's: key-down events are typed (the key is
// pressed and released at once), key-up events are accepted and ignored; Shift,
// Control and Alt events add nothing, since no character needs a modifier here.
// A key-down with a character types that character, one without a character
// presses the key its virtual key names. --key-delay paces the key events.
// Requests are sent after each event without waiting for an answer: the
// compositor handles them in order. A lost connection makes the sink Lost(),
// which the program's keeper waits out.
#pragma once

#include <memory>
#include <string>

#include "platform/keyboard/key_sink.h"

namespace platform {

// nullptr with `error` set to a sentence when there is no compositor, it does
// not offer the protocol or a seat, or it refuses the keyboard.
std::unique_ptr<KeySink> MakeWaylandKeySink(std::string& error);

namespace key_sink_factories {
// The module's probe (the compositor offers the protocol) and factory.
extern const KeySinkFactory wayland;
} // namespace key_sink_factories

} // namespace platform
