#include "platform/resources/menu_bar_resource.h"

#include "platform/core/byte_reader.h"
#include "platform/core/system.h"
#include "platform/resources/resource_bundle.h"
#include "platform/resources/resources.h"

namespace platform {

bool ReadMenuBarResource(HINSTANCE, UINT id, MenuBarResource& menuBar) {
    std::span<const BYTE> bytes = ResourceBytes(
        static_cast<WORD>(reinterpret_cast<UINT_PTR>(RT_RCDATA)), static_cast<WORD>(id));
    if (id > 0xFFFF || bytes.empty()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return false;
    }
    ByteReader reader(bytes);
    MenuBarResource result;
    result.menuId = reader.Word();
    WORD count = reader.Word();
    for (WORD i = 0; i < count && !reader.Failed(); ++i) {
        MenuBarButton button;
        button.image = reader.Word();
        button.command = reader.Word();
        button.state = reader.Word();
        button.style = reader.Word();
        button.stringId = reader.Word();
        reader.Word(); // reserved
        button.submenu = reader.Word();
        result.buttons.push_back(button);
    }
    if (reader.Failed()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return false;
    }
    menuBar = std::move(result);
    return true;
}

} // namespace platform
