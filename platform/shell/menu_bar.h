// The shell's menu bar: SHCreateMenuBar makes, from a menu-bar resource, a bar
// along the bottom of the work area owned by a top-level window. Each button is
// a push-button control of the bar; a button that drops down a submenu tracks it
// when clicked, and the chosen item reaches the owner as WM_COMMAND, as a plain
// button's command does.
#pragma once

#include "platform/core/types.h"

struct SHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId;
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB;
    COLORREF clrBk;
};
using PSHMENUBARINFO = SHMENUBARINFO*;

// The record's size on the device, where handles are 32 bits wide; callers fill
// cbSize with it. sizeof(SHMENUBARINFO) is accepted as well.
constexpr DWORD kMenuBarInfoDeviceSize = 36;

constexpr DWORD SHCMBF_EMPTYBAR = 0x0001;
constexpr DWORD SHCMBF_HIDDEN = 0x0002;

// The menu bar's height in pixels.
constexpr int kMenuBarHeight = 26;

// Creates the bar and stores it in hwndMB. FALSE, with the last error set, for a
// missing or wrongly sized record, a parent that is no window, or a resource
// that cannot be read.
BOOL SHCreateMenuBar(PSHMENUBARINFO info);

namespace platform {

// The class name of menu-bar windows, for front ends that draw them.
inline constexpr char16_t kMenuBarClassName[] = u"menu_worker";

} // namespace platform
