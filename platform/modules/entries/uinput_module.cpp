// The uinput module, swipetype-uinput.so: the virtual keyboard made through
// /dev/uinput with libevdev, typing for a layout compiled with libxkbcommon.
#include "platform/keyboard/uinput/key_sink_uinput.h"
#include "platform/modules/entries/key_sink_services.h"
#include "platform/modules/module_interface.h"

#include "module_build.h"

extern "C" __attribute__((visibility("default"))) const platform::ModuleHeader* swipetype_module() {
    static const platform::UinputModuleExports exports{
        {platform::kModuleInterfaceVersion, platform::kModuleBuildStamp, "uinput"},
        platform::modules::AttachKeySinkServices,
        platform::MakeUinputKeySink,
        platform::UinputAccessible};
    return &exports.header;
}
