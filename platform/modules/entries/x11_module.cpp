// The X11 module, swipetype-x11.so: the XTest key sink with the server's keymap
// and its spare keycodes, and the probe of whether a display can be opened.
#include "platform/keyboard/key_sink_factories.h"
#include "platform/modules/entries/key_sink_services.h"
#include "platform/modules/module_interface.h"

#include "module_build.h"

extern "C" __attribute__((visibility("default"))) const platform::ModuleHeader* swipetype_module() {
    static const platform::X11ModuleExports exports{
        {platform::kModuleInterfaceVersion, platform::kModuleBuildStamp, "x11"},
        platform::modules::AttachKeySinkServices,
        platform::MakeXTestKeySink,
        [](const std::string& displayName) {
            std::string ignored;
            return platform::XDisplayUsable(displayName, ignored);
        }};
    return &exports.header;
}
