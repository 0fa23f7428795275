// Finding resources and loading strings. The resources are the table that the
// build generates from res/ (ProgramResources); it is sorted by type and id.
#include "platform/resources/resources.h"

#include <algorithm>
#include <cstring>

#include "platform/core/byte_reader.h"
#include "platform/core/system.h"
#include "platform/resources/resource_bundle.h"

namespace platform {
namespace {

std::span<const ResourceEntry> Entries() {
    const ResourceBundle& bundle = ProgramResources();
    return {bundle.entries, bundle.count};
}

const ResourceEntry* FindEntry(WORD type, WORD id) {
    std::span<const ResourceEntry> entries = Entries();
    auto found = std::lower_bound(entries.begin(), entries.end(), std::pair{type, id},
                                  [](const ResourceEntry& entry, std::pair<WORD, WORD> key) {
                                      return std::pair{entry.type, entry.id} < key;
                                  });
    if (found == entries.end() || found->type != type || found->id != id) {
        return nullptr;
    }
    return &*found;
}

// A handle from FindResourceW is the address of its table entry.
const ResourceEntry* EntryOf(HRSRC resource) {
    std::span<const ResourceEntry> entries = Entries();
    for (const ResourceEntry& entry : entries) {
        if (reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(&entry)) == resource) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

bool ResourceNumber(LPCWSTR name, WORD& number) {
    if (name == nullptr || !IS_INTRESOURCE(name)) {
        return false;
    }
    number = static_cast<WORD>(reinterpret_cast<UINT_PTR>(name));
    return true;
}

std::span<const BYTE> ResourceBytes(WORD type, WORD id) {
    const ResourceEntry* entry = FindEntry(type, id);
    if (entry == nullptr) {
        return {};
    }
    return {entry->data, entry->size};
}

} // namespace platform

HRSRC FindResourceW(HINSTANCE, LPCWSTR name, LPCWSTR type) {
    WORD typeNumber = 0;
    WORD id = 0;
    if (!platform::ResourceNumber(type, typeNumber)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    if (!platform::ResourceNumber(name, id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const platform::ResourceEntry* entry = platform::FindEntry(typeNumber, id);
    if (entry == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<platform::ResourceEntry*>(entry));
}

HGLOBAL LoadResource(HINSTANCE, HRSRC resource) {
    const platform::ResourceEntry* entry = platform::EntryOf(resource);
    if (entry == nullptr) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return const_cast<BYTE*>(entry->data);
}

LPVOID LockResource(HGLOBAL loaded) {
    return loaded;
}

DWORD SizeofResource(HINSTANCE, HRSRC resource) {
    const platform::ResourceEntry* entry = platform::EntryOf(resource);
    if (entry == nullptr) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    return entry->size;
}

int LoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int capacity) {
    if (buffer == nullptr || capacity < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // Strings live in blocks of sixteen counted texts; block n holds ids
    // (n - 1) * 16 to n * 16 - 1.
    std::span<const BYTE> block = platform::ResourceBytes(
        static_cast<WORD>(reinterpret_cast<UINT_PTR>(RT_STRING)), static_cast<WORD>(id / 16 + 1));
    platform::ByteReader reader(block);
    for (UINT slot = 0; slot < id % 16 && !reader.Failed(); ++slot) {
        reader.Skip(2 * std::size_t{reader.Word()});
    }
    std::size_t offset = reader.Offset() + 2;
    std::size_t length = reader.Word();
    if (id > 0xFFFF || block.empty() || reader.Failed() || length == 0 ||
        offset + 2 * length > block.size()) {
        if (capacity > 0) {
            buffer[0] = u'\0';
        }
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    if (capacity == 0) {
        // The caller gets a pointer to the text in place; it is not terminated.
        const BYTE* text = block.data() + offset;
        std::memcpy(buffer, &text, sizeof text);
        return static_cast<int>(length);
    }
    std::size_t count = std::min(length, static_cast<std::size_t>(capacity) - 1);
    std::memcpy(buffer, block.data() + offset, count * 2);
    buffer[count] = u'\0';
    return static_cast<int>(count);
}
