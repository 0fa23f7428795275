// Resources: the program's dialog templates, menus, menu bar, accelerators,
// strings and icons, found by numeric id as the device finds them in the
// executable. Every module handle names this program's one module, so the
// instance passed in is accepted whatever it is.
#pragma once

#include "platform/core/types.h"

// Resource types. Only numeric types and ids exist in this program.
inline const LPCWSTR RT_CURSOR = MAKEINTRESOURCEW(1);
inline const LPCWSTR RT_BITMAP = MAKEINTRESOURCEW(2);
inline const LPCWSTR RT_ICON = MAKEINTRESOURCEW(3);
inline const LPCWSTR RT_MENU = MAKEINTRESOURCEW(4);
inline const LPCWSTR RT_DIALOG = MAKEINTRESOURCEW(5);
inline const LPCWSTR RT_STRING = MAKEINTRESOURCEW(6);
inline const LPCWSTR RT_ACCELERATOR = MAKEINTRESOURCEW(9);
inline const LPCWSTR RT_RCDATA = MAKEINTRESOURCEW(10);
inline const LPCWSTR RT_GROUP_ICON = MAKEINTRESOURCEW(14);

constexpr LONG ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
constexpr LONG ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr LONG ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
constexpr LONG ERROR_INVALID_MENU_HANDLE = 1401;
constexpr LONG ERROR_INVALID_ACCEL_HANDLE = 1403;
constexpr LONG ERROR_INVALID_ICON_HANDLE = 1414;

// Finds a resource by id and type. Returns null with
// ERROR_RESOURCE_TYPE_NOT_FOUND or ERROR_RESOURCE_NAME_NOT_FOUND.
HRSRC FindResourceW(HINSTANCE module, LPCWSTR name, LPCWSTR type);
// The resource's bytes stay loaded for the whole run: LoadResource and
// LockResource both give their address, and nothing needs to be freed.
HGLOBAL LoadResource(HINSTANCE module, HRSRC resource);
LPVOID LockResource(HGLOBAL loaded);
DWORD SizeofResource(HINSTANCE module, HRSRC resource);

// Copies string `id` into `buffer`, at most `capacity` - 1 characters and a
// terminator, and returns the characters copied. A capacity of 0 stores a
// read-only pointer to the string (not terminated) in the buffer's place and
// returns its length. A missing string gives 0 with
// ERROR_RESOURCE_NAME_NOT_FOUND and an empty buffer.
int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int capacity);

// Image types and flags of LoadImageW.
constexpr UINT IMAGE_BITMAP = 0;
constexpr UINT IMAGE_ICON = 1;
constexpr UINT IMAGE_CURSOR = 2;
constexpr UINT LR_DEFAULTCOLOR = 0x0000;
constexpr UINT LR_DEFAULTSIZE = 0x0040;
constexpr UINT LR_SHARED = 0x8000;

// Loads the icon of the given id at the system icon size (32 x 32). The same
// id always gives the same handle, which is never destroyed (a shared icon).
HICON LoadIconW(HINSTANCE module, LPCWSTR name);

// Loads an icon of the given id, choosing the picture closest to `width` x
// `height`. A size of 0 means the first picture's own size, or the system size
// with LR_DEFAULTSIZE. Each call gives a new handle unless LR_SHARED is set.
// Only IMAGE_ICON is supported; other types give null with ERROR_NOT_SUPPORTED.
HANDLE LoadImageW(HINSTANCE module, LPCWSTR name, UINT type, int width, int height, UINT flags);
BOOL DestroyIcon(HICON icon);

// Creates a menu from menu resource `name` (see platform/windowing/menus/menus.h).
HMENU LoadMenuW(HINSTANCE module, LPCWSTR name);

// Loads accelerator table `name` (see platform/windowing/menus/accelerators.h). The table lives
// for the whole run; loading it twice gives the same handle.
HACCEL LoadAcceleratorsW(HINSTANCE module, LPCWSTR name);

namespace platform {

// What an icon handle shows, for the tray, the event log and front ends: the
// resource id it was loaded from, its size and the PNG picture's bytes.
struct IconPicture {
    UINT resourceId = 0;
    int width = 0;
    int height = 0;
    const BYTE* png = nullptr;
    DWORD pngSize = 0;
};

// The resource id an icon was loaded from, or 0 for a handle that is no icon.
UINT IconResourceId(HICON icon);
// False for a handle that is no icon.
bool GetIconPicture(HICON icon, IconPicture& picture);

} // namespace platform
