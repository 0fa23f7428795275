// The X11 sink: presses keys on the X server named by `displayName` ("" for
// $DISPLAY) through the XTest extension, so that the focused X application
// receives ordinary key presses. Each character is looked up in the server's own
// keyboard mapping (XKB), as it stands at that moment, and typed with the key and
// modifiers that produce it there. The sink keeps its own connection until
// destroyed, and restores every keycode it bound on the way out.
//
// Contract of Post: key-down events are typed, key-up events are accepted and
// ignored (the whole press and release happens at key-down); Shift, Control and
// Alt events add nothing, because each character chooses its own modifiers. A
// key-down with a character types that character whatever the state of Caps
// Lock and Num Lock; one without a character presses the key that its virtual
// key names. Returns false, with one debug line, when a character cannot be
// typed; false when the connection to the server is gone, and the sink is then
// Lost() (the program's keeper makes a new one when the server is back).
#pragma once

#include <memory>
#include <string>

#include "platform/keyboard/key_sink.h"

namespace platform {

// nullptr with `error` set to a sentence when the server cannot be reached or
// lacks XTest or XKB.
std::unique_ptr<KeySink> MakeXTestKeySink(const std::string& displayName, std::string& error);

namespace key_sink_factories {
// The module's probe (the display opens and offers XTest) and factory.
extern const KeySinkFactory x11;
} // namespace key_sink_factories

} // namespace platform
