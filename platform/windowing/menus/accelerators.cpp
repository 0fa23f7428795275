// Accelerator tables and their translation. A table from a resource is loaded
// once and kept for the run, as the device keeps resource tables.
#include "platform/windowing/menus/accelerators.h"

#include <map>
#include <vector>

#include "platform/core/byte_reader.h"
#include "platform/core/system.h"
#include "platform/resources/resource_bundle.h"
#include "platform/resources/resources.h"
#include "platform/windowing/key_state.h"
#include "platform/windowing/window.h"

namespace platform {
namespace {

struct AcceleratorTables {
    std::map<UINT_PTR, std::vector<ACCEL>> tables;
    std::map<WORD, HACCEL> loaded; // by resource id
    UINT_PTR nextHandle = 0x40010;
};

AcceleratorTables& Tables() {
    static AcceleratorTables tables;
    return tables;
}

HACCEL AddTable(std::vector<ACCEL> entries) {
    AcceleratorTables& tables = Tables();
    HACCEL handle = reinterpret_cast<HACCEL>(tables.nextHandle);
    tables.nextHandle += 4;
    tables.tables.emplace(reinterpret_cast<UINT_PTR>(handle), std::move(entries));
    return handle;
}

const std::vector<ACCEL>* FindTable(HACCEL handle) {
    auto found = Tables().tables.find(reinterpret_cast<UINT_PTR>(handle));
    return found != Tables().tables.end() ? &found->second : nullptr;
}

bool KeyDown(UINT virtualKey) {
    return (GetKeyState(static_cast<int>(virtualKey)) & 0x8000) != 0;
}

// The modifiers an entry asks for must be exactly the ones held.
bool ModifiersMatch(const ACCEL& entry) {
    return ((entry.fVirt & FSHIFT) != 0) == KeyDown(VK_SHIFT) &&
           ((entry.fVirt & FCONTROL) != 0) == KeyDown(VK_CONTROL) &&
           ((entry.fVirt & FALT) != 0) == KeyDown(VK_MENU);
}

bool Matches(const ACCEL& entry, const MSG& message) {
    bool keyDown = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
    bool character = message.message == WM_CHAR || message.message == WM_SYSCHAR;
    if ((entry.fVirt & FVIRTKEY) != 0) {
        return keyDown && message.wParam == entry.key && ModifiersMatch(entry);
    }
    // A character entry matches the character itself, whatever produced it.
    return character && message.wParam == entry.key;
}

} // namespace
} // namespace platform

HACCEL LoadAcceleratorsW(HINSTANCE, LPCWSTR name) {
    WORD id = 0;
    if (!platform::ResourceNumber(name, id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    platform::AcceleratorTables& tables = platform::Tables();
    if (auto found = tables.loaded.find(id); found != tables.loaded.end()) {
        return found->second;
    }
    std::span<const BYTE> bytes =
        platform::ResourceBytes(static_cast<WORD>(reinterpret_cast<UINT_PTR>(RT_ACCELERATOR)), id);
    platform::ByteReader reader(bytes);
    std::vector<ACCEL> entries;
    bool last = false;
    while (!last && !reader.AtEnd()) {
        WORD flags = reader.Word();
        WORD key = reader.Word();
        WORD command = reader.Word();
        reader.Word();
        if (reader.Failed()) {
            break;
        }
        last = (flags & kAcceleratorLastEntry) != 0;
        entries.push_back({static_cast<BYTE>(flags & 0x7F), key, command});
    }
    if (!last) {
        SetLastError(bytes.empty() ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    HACCEL handle = platform::AddTable(std::move(entries));
    tables.loaded.emplace(id, handle);
    return handle;
}

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count) {
    if (entries == nullptr || count <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return platform::AddTable(std::vector<ACCEL>(entries, entries + count));
}

BOOL DestroyAcceleratorTable(HACCEL table) {
    platform::AcceleratorTables& tables = platform::Tables();
    for (const auto& [id, handle] : tables.loaded) {
        if (handle == table) {
            return TRUE; // a resource table stays for the run
        }
    }
    return tables.tables.erase(reinterpret_cast<UINT_PTR>(table)) > 0 ? TRUE : FALSE;
}

int TranslateAcceleratorW(HWND window, HACCEL table, const MSG* message) {
    const std::vector<ACCEL>* entries = platform::FindTable(table);
    if (entries == nullptr || message == nullptr || !IsWindow(window)) {
        SetLastError(entries == nullptr ? ERROR_INVALID_ACCEL_HANDLE : ERROR_INVALID_PARAMETER);
        return 0;
    }
    for (const ACCEL& entry : *entries) {
        if (platform::Matches(entry, *message)) {
            SendMessageW(window, WM_COMMAND, MAKEWPARAM(entry.cmd, 1), 0);
            return 1;
        }
    }
    return 0;
}
