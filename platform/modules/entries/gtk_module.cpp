// The desktop front end's module, swipetype-gtk.so: the GTK front end, whose
// calls of the window system are forwarded to the program through the table it
// attached.
#include "platform/gtk/gtk_front_end.h"
#include "platform/modules/module_interface.h"
#include "platform/modules/module_services.h"

#include "module_build.h"

namespace {

const platform::FrontEndServices* attached = nullptr;

const platform::FrontEndServices& Services() {
    return *attached;
}

void Attach(const platform::FrontEndServices* services) {
    attached = services;
}

} // namespace

SWIPETYPE_FRONT_END_GLOBAL_CALLS(SWIPETYPE_FORWARD_GLOBAL_CALL)
SWIPETYPE_FRONT_END_PLATFORM_CALLS(SWIPETYPE_FORWARD_PLATFORM_CALL)

extern "C" __attribute__((visibility("default"))) const platform::ModuleHeader*
SWIPETYPE_MODULE_ENTRY() {
    static const platform::GtkModuleExports exports{
        {"gtk"}, Attach, platform::StartGtkFrontEnd, platform::StopGtkFrontEnd};
    return &exports.header;
}
