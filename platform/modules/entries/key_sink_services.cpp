#include "platform/modules/entries/key_sink_services.h"

namespace {

const platform::KeySinkServices* attached = nullptr;

const platform::KeySinkServices& Services() {
    return *attached;
}

} // namespace

void platform::modules::AttachKeySinkServices(const KeySinkServices* services) {
    attached = services;
}

SWIPETYPE_KEY_SINK_GLOBAL_CALLS(SWIPETYPE_FORWARD_GLOBAL_CALL)
SWIPETYPE_KEY_SINK_PLATFORM_CALLS(SWIPETYPE_FORWARD_PLATFORM_CALL)

void NKDbgPrintfW(LPCWSTR format, ...) {
    WCHAR line[1024];
    va_list arguments;
    va_start(arguments, format);
    wvsprintfW(line, format, arguments);
    va_end(arguments);
    Services().debugLine(line);
}
