// The key sinks that need X or evdev libraries, as the rest of the platform asks
// for them. Their code lives apart (keyboard/x11, keyboard/uinput): the program
// reaches it through its modules (modules/key_sink_modules.cpp), which load the
// libraries only when such a sink is made or probed; the test programs link the
// sinks themselves. Either way, what is declared here is defined exactly once.
#pragma once

#include <memory>
#include <string>

#include "platform/keyboard/key_sink.h"

namespace platform {

// The X11 sink: presses keys on the X server named by `displayName` ("" for
// $DISPLAY) through the XTest extension, so that the focused X application
// receives ordinary key presses. Each character is looked up in the server's own
// keyboard mapping (XKB), as it stands at that moment, and typed with the key and
// modifiers that produce it there. Returns nullptr with `error` set to a sentence
// when the server cannot be reached or lacks XTest or XKB. The sink keeps its own
// connection until destroyed, and restores every keycode it bound on the way out.
//
// Contract of Post: key-down events are typed, key-up events are accepted and
// ignored (the whole press and release happens at key-down); Shift, Control and
// Alt events add nothing, because each character chooses its own modifiers. A
// key-down with a character types that character whatever the state of Caps
// Lock and Num Lock; one without a character presses the key that its virtual
// key names. Returns false, with one debug line, when a character cannot be
// typed or the connection to the server is gone.
std::unique_ptr<KeySink> MakeXTestKeySink(const std::string& displayName, std::string& error);

// Whether the X display named (empty: $DISPLAY) can be opened; `error` says why
// not.
bool XDisplayUsable(const std::string& displayName, std::string& error);

constexpr const char* DefaultUinputPath = "/dev/uinput";

// Whether the uinput device can be opened for writing; `reason` says why not.
bool UinputAccessible(const std::string& path, std::string& reason);

// A virtual keyboard through uinput whose keys type `layout`. nullptr with `error`
// set when the device cannot be opened or the layout is unknown.
std::unique_ptr<KeySink> MakeUinputKeySink(const std::string& layout, std::string& error,
                                           const std::string& path = DefaultUinputPath);

// The keyboard layout the uinput sink types for when none is asked for:
// $XKB_DEFAULT_LAYOUT, else "us".
std::string DefaultKeyboardLayout();

} // namespace platform
