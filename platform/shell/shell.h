// The notification-area (tray) icon. Icons live in the platform, keyed by the
// pair (window, id) as on the device; a front end reads them with TrayIcons()
// and hears of changes through SetTrayIconListener. Every Shell_NotifyIcon call
// writes one "tray" line to the event log:
//   {"event":"tray","op":"add","icon":102,"tip":"Swipetype"}
//   {"event":"tray","op":"modify","icon":103,"tip":"Swipetype"}
//   {"event":"tray","op":"delete"}
// with "icon" the resource id of the picture (0 when the icon has none or it did
// not come from a resource) and "tip" the tip text. A call that fails adds
// "ok":false to its line.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/core/types.h"

struct NOTIFYICONDATAW {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    WCHAR szTip[64];
};
using PNOTIFYICONDATAW = NOTIFYICONDATAW*;

// The record's size on the device, where handles are 32 bits wide; the program
// fills cbSize with it. sizeof(NOTIFYICONDATAW) is accepted as well.
constexpr DWORD NOTIFYICONDATAW_DEVICE_SIZE = 152;

constexpr DWORD NIM_ADD = 0x00000000;
constexpr DWORD NIM_MODIFY = 0x00000001;
constexpr DWORD NIM_DELETE = 0x00000002;

constexpr UINT NIF_MESSAGE = 0x00000001;
constexpr UINT NIF_ICON = 0x00000002;
constexpr UINT NIF_TIP = 0x00000004;

// NIM_ADD: adds the icon (window, id) with the fields that uFlags names; FALSE
// when that icon is already present (it keeps its former fields).
// NIM_MODIFY: changes the fields that uFlags names; FALSE when absent.
// NIM_DELETE: removes the icon; FALSE when absent.
// FALSE also for a null record, an unknown size or an unknown message. The tip
// is taken up to its terminator, at most 63 characters.
BOOL Shell_NotifyIconW(DWORD message, PNOTIFYICONDATAW data);
inline BOOL Shell_NotifyIcon(DWORD message, PNOTIFYICONDATAW data) {
    return Shell_NotifyIconW(message, data);
}

namespace platform {

// One icon as a front end shows it.
struct TrayIcon {
    HWND window = nullptr;
    UINT id = 0;
    UINT callbackMessage = 0;
    HICON icon = nullptr;
    UINT iconResourceId = 0; // the picture's resource id, 0 when unknown
    std::u16string tip;
    bool operator==(const TrayIcon&) const = default;
};

// The icons present, in the order they were added.
std::vector<TrayIcon> TrayIcons();

// Called after every change to the icons (not for failed calls); empty clears.
void SetTrayIconListener(std::function<void()> listener);

// Removes every icon without logging, for tests that start from an empty tray.
void ClearTrayIcons();

} // namespace platform
