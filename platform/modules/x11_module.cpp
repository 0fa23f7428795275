// The X11 module, swipetype-x11.so: the XTest key sink with the server's keymap
// and its spare keycodes, and the probe of whether a display can be opened.
#include "platform/key_sink_xtest.h"
#include "platform/module_interface.h"
#include "platform/modules/key_sink_services.h"
#include "platform/x_display.h"

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
