// Icons: an icon resource is a directory (RT_GROUP_ICON) naming one PNG picture
// (RT_ICON) per size. A loaded icon remembers which resource and picture it
// came from, so the tray, the event log and a front end can tell what it shows.
#include <cstdlib>
#include <map>
#include <tuple>
#include <vector>

#include "platform/core/byte_reader.h"
#include "platform/core/system.h"
#include "platform/resources/resource_bundle.h"
#include "platform/resources/resources.h"

namespace platform {
namespace {

constexpr int kSystemIconSize = 32;

struct IconTable {
    std::map<UINT_PTR, IconPicture> icons;
    std::map<std::tuple<UINT, int, int>, HICON> shared; // (id, width, height)
    UINT_PTR nextHandle = 0x20010;
};

IconTable& Icons() {
    static IconTable table;
    return table;
}

WORD TypeNumber(LPCWSTR type) {
    return static_cast<WORD>(reinterpret_cast<UINT_PTR>(type));
}

struct DirectoryEntry {
    int width = 0;
    int height = 0;
    WORD bitsPerPixel = 0;
    WORD pictureId = 0;
};

// Entries of an icon directory: reserved, type 1, count, then 14 bytes each.
std::vector<DirectoryEntry> ReadDirectory(std::span<const BYTE> bytes) {
    ByteReader reader(bytes);
    reader.Word();
    WORD type = reader.Word();
    WORD count = reader.Word();
    std::vector<DirectoryEntry> entries;
    for (WORD i = 0; i < count && type == 1 && !reader.Failed(); ++i) {
        DirectoryEntry entry;
        entry.width = reader.Byte();
        entry.height = reader.Byte();
        reader.Skip(4); // colour count, reserved, planes
        entry.bitsPerPixel = reader.Word();
        reader.Dword(); // size of the picture
        entry.pictureId = reader.Word();
        entry.width = entry.width == 0 ? 256 : entry.width;
        entry.height = entry.height == 0 ? 256 : entry.height;
        if (!reader.Failed()) {
            entries.push_back(entry);
        }
    }
    return entries;
}

// The picture closest in size, the deeper one of two equally close.
const DirectoryEntry* ChoosePicture(const std::vector<DirectoryEntry>& entries, int width,
                                    int height) {
    const DirectoryEntry* best = nullptr;
    int bestDistance = 0;
    for (const DirectoryEntry& entry : entries) {
        int distance = std::abs(entry.width - width) + std::abs(entry.height - height);
        if (best == nullptr || distance < bestDistance ||
            (distance == bestDistance && entry.bitsPerPixel > best->bitsPerPixel)) {
            best = &entry;
            bestDistance = distance;
        }
    }
    return best;
}

HICON LoadIcon(LPCWSTR name, int width, int height, bool defaultSize, bool shared) {
    WORD id = 0;
    if (!ResourceNumber(name, id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::vector<DirectoryEntry> entries =
        ReadDirectory(ResourceBytes(TypeNumber(RT_GROUP_ICON), id));
    if (entries.empty()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    if (width == 0) {
        width = defaultSize ? kSystemIconSize : entries.front().width;
    }
    if (height == 0) {
        height = defaultSize ? kSystemIconSize : entries.front().height;
    }
    const DirectoryEntry* chosen = ChoosePicture(entries, width, height);
    std::span<const BYTE> png = ResourceBytes(TypeNumber(RT_ICON), chosen->pictureId);
    if (png.empty()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    IconTable& table = Icons();
    auto key = std::tuple{UINT{id}, width, height};
    if (shared) {
        if (auto found = table.shared.find(key); found != table.shared.end()) {
            return found->second;
        }
    }
    // The picture is kept at its own size; the handle records what was asked.
    IconPicture picture{id, chosen->width, chosen->height, png.data(),
                        static_cast<DWORD>(png.size())};
    HICON handle = reinterpret_cast<HICON>(table.nextHandle);
    table.nextHandle += 4;
    table.icons.emplace(reinterpret_cast<UINT_PTR>(handle), picture);
    if (shared) {
        table.shared.emplace(key, handle);
    }
    return handle;
}

} // namespace

UINT IconResourceId(HICON icon) {
    IconPicture picture;
    return GetIconPicture(icon, picture) ? picture.resourceId : 0;
}

bool GetIconPicture(HICON icon, IconPicture& picture) {
    auto found = Icons().icons.find(reinterpret_cast<UINT_PTR>(icon));
    if (found == Icons().icons.end()) {
        return false;
    }
    picture = found->second;
    return true;
}

} // namespace platform

HICON LoadIconW(HINSTANCE, LPCWSTR name) {
    return platform::LoadIcon(name, 0, 0, true, true);
}

HANDLE LoadImageW(HINSTANCE, LPCWSTR name, UINT type, int width, int height, UINT flags) {
    if (type != IMAGE_ICON) {
        NKDbgPrintfW(u"LoadImageW: only icons are supported, not image type %u", type);
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (width < 0 || height < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return platform::LoadIcon(name, width, height, (flags & LR_DEFAULTSIZE) != 0,
                              (flags & LR_SHARED) != 0);
}

BOOL DestroyIcon(HICON icon) {
    platform::IconTable& table = platform::Icons();
    auto found = table.icons.find(reinterpret_cast<UINT_PTR>(icon));
    if (found == table.icons.end()) {
        SetLastError(ERROR_INVALID_ICON_HANDLE);
        return FALSE;
    }
    // A shared icon belongs to everyone who loaded it and stays.
    for (const auto& [key, handle] : table.shared) {
        if (handle == icon) {
            return TRUE;
        }
    }
    table.icons.erase(found);
    return TRUE;
}
