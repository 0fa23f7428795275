// The program's way to the key sinks that live in modules (the table of sinks
// names them, platform/keyboard/key_sink_registry.h): each probe or make maps the sink's
// module, swipetype-<module>.so, so that its libraries are mapped only once such
// a sink is made or tried. A sink made by a module keeps the module mapped while
// it lives; a probe that made nothing lets it go again. (The test programs link
// the sinks themselves instead.)
#pragma once

#include <memory>
#include <string>

#include "platform/keyboard/key_sink_registry.h"

namespace platform {

std::unique_ptr<KeySinkModules> LoadableKeySinkModules();

// Whether the X display named (empty: $DISPLAY) can be opened and typed into:
// the xtest sink's probe, so that asking costs no desktop library. `error` says
// why not. Needs the modules installed (SetKeySinkModules).
bool XDisplayUsable(const std::string& displayName, std::string& error);

} // namespace platform
