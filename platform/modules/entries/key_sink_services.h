// Inside a key sink module: the platform calls of the sinks' code are forwarders
// to the program's table, which the module's attach hands over.
#pragma once

#include "platform/modules/module_services.h"

namespace platform::modules {

void AttachKeySinkServices(const KeySinkServices* services);

} // namespace platform::modules
