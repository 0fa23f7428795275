// The program's resources as the build lays them out: one table of entries, each
// the bytes of one resource in the device's own binary format (dialog templates,
// menu templates, accelerator tables, string blocks, icon directories and
// pictures). The table is generated from res/ by the resource compiler and
// linked with the platform; the resource calls read nothing else.
#pragma once

#include <cstddef>
#include <span>

#include "platform/core/types.h"

namespace platform {

struct ResourceEntry {
    WORD type; // RT_DIALOG, RT_MENU, ... as a number
    WORD id;
    const BYTE* data;
    DWORD size;
};

struct ResourceBundle {
    const ResourceEntry* entries;
    std::size_t count;
};

// Defined by the generated resource data.
const ResourceBundle& ProgramResources();

} // namespace platform

namespace platform {

// The bytes of resource (type, id), or an empty span when there is none.
std::span<const BYTE> ResourceBytes(WORD type, WORD id);

// Numeric ids only: a name that is a string gives false.
bool ResourceNumber(LPCWSTR name, WORD& number);

} // namespace platform
