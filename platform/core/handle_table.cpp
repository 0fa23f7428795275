#include "platform/core/handle_table.h"

#include <map>

#include "platform/core/handle.h"
#include "platform/core/system.h"

namespace platform {
namespace {

struct HandleTable {
    std::map<UINT_PTR, std::unique_ptr<HandleObject>> objects;
    // Multiples of 4 starting well above small integers, as the device's are.
    UINT_PTR next = 0x1000;
};

HandleTable& Table() {
    static HandleTable table;
    return table;
}

} // namespace

HANDLE AddHandle(std::unique_ptr<HandleObject> object) {
    HandleTable& table = Table();
    UINT_PTR value = table.next;
    table.next += 4;
    table.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

HandleObject* FindHandle(HANDLE handle) {
    auto& objects = Table().objects;
    auto found = objects.find(reinterpret_cast<UINT_PTR>(handle));
    return found == objects.end() ? nullptr : found->second.get();
}

std::size_t OpenHandleCount() {
    return Table().objects.size();
}

} // namespace platform

BOOL CloseHandle(HANDLE handle) {
    auto& objects = platform::Table().objects;
    auto found = objects.find(reinterpret_cast<UINT_PTR>(handle));
    if (found == objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // Forget the handle first: the object's Close may report a fault, and the
    // handle must not stay usable either way.
    std::unique_ptr<platform::HandleObject> object = std::move(found->second);
    objects.erase(found);
    return object->Close() ? TRUE : FALSE;
}
