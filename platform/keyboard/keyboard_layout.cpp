// The layout the uinput sink types for when none is given. Apart from the sink,
// which lives in a module, because choosing a sink names the layout before the
// module is loaded.
#include "platform/keyboard/key_sink_factories.h"

#include <cstdlib>

namespace platform {

std::string DefaultKeyboardLayout() {
    const char* layout = std::getenv("XKB_DEFAULT_LAYOUT");
    return layout != nullptr && *layout != '\0' ? std::string(layout) : std::string("us");
}

} // namespace platform
