#include "app/tray_icon.h"

#include "app/app_handles.h"
#include "platform/resources/resources.h"
#include "res/resource_ids.h"
#include "settings/settings.h"

NOTIFYICONDATAW TrayIconData;

namespace {

constexpr UINT kTrayIconFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP; // = 7
constexpr int kIconSize = 16;
constexpr int kTipSize = 64;

// The two pictures are loaded once and kept for the whole run.
HICON EnabledPicture = nullptr;
HICON DisabledPicture = nullptr;

HICON LoadPicture(UINT id) {
    return static_cast<HICON>(
        LoadImageW(AppInstance, MAKEINTRESOURCEW(id), IMAGE_ICON, kIconSize, kIconSize, 0));
}

} // namespace

void AddTrayIcon() {
    // Which icon of which window this is, and which fields count.
    TrayIconData.cbSize = NOTIFYICONDATAW_DEVICE_SIZE;
    TrayIconData.hWnd = MainWindow;
    TrayIconData.uID = TrayIconId;
    TrayIconData.uFlags = kTrayIconFlags;
    // The picture for the current state. A picture that cannot be loaded leaves the field as it
    // was.
    if (EnabledPicture == nullptr) {
        EnabledPicture = LoadPicture(IDI_READING_ENABLED);
    }
    if (DisabledPicture == nullptr) {
        DisabledPicture = LoadPicture(IDI_READING_DISABLED);
    }
    HICON picture = Settings.Enable != 0 ? EnabledPicture : DisabledPicture;
    if (picture != nullptr) {
        TrayIconData.hIcon = picture;
    }
    // The tip text; one that cannot be loaded leaves the field as it was too.
    WCHAR tip[kTipSize];
    if (LoadStringW(AppInstance, IDS_TITLE, tip, kTipSize) > 0) {
        for (int i = 0; i < kTipSize; ++i) {
            TrayIconData.szTip[i] = tip[i];
            if (tip[i] == u'\0') {
                break;
            }
        }
    }
    // Clicks on the icon come back to the main window as this message.
    TrayIconData.uCallbackMessage = UM_TRAY_NOTIFY;
    // Shows the icon.
    Shell_NotifyIcon(NIM_ADD, &TrayIconData);
}

void RemoveTrayIcon() {
    Shell_NotifyIcon(NIM_DELETE, &TrayIconData);
}
