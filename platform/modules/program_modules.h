// The program's way to its modules (module_interface.h): the key sinks that
// live in modules and the desktop front end. A key sink's module,
// swipetype-<module>.so, is mapped only once such a sink is tried or made: a
// probe lets it go again, a module asked for a sink stays for the rest of the
// run. (The test programs link the sinks themselves instead.)
#pragma once

#include <memory>
#include <string>

#include "platform/keyboard/key_sink_registry.h"

namespace platform {

// For SetKeySinkModules (platform/keyboard/key_sink_registry.h).
std::unique_ptr<KeySinkModules> LoadableKeySinkModules();

// Maps swipetype-gtk.so for the rest of the run (GTK's libraries cannot be
// unloaded once started) and starts the front end. False with `error` set to
// one line when the module cannot be loaded or the front end cannot start.
bool StartFrontEndModule(std::string& error);
// Stops the front end when it runs.
void StopFrontEndModule();

} // namespace platform
