// Taps on the tray icon and the popup menu they open while the main window is
// hidden.
#include "app/main_window.h"

#include "app/app_handles.h"
#include "app/private_messages.h"
#include "platform/core/system.h"
#include "platform/resources/resources.h"
#include "platform/shell/input_panel.h"
#include "platform/windowing/menus/menus.h"

DWORD LastTrayTap = 0;
UINT PopupDepth = 0;
HMENU PopupMenuHandle = nullptr;

namespace {

constexpr DWORD kTapRepeatGuard = 2; // ms

void LowerInputPanel() {
    if (SipStatus() != SIP_STATUS_AVAILABLE) {
        return;
    }
    SIPINFO info{};
    info.cbSize = kSipInfoDeviceSize;
    if (SipGetInfo(&info) != FALSE && (info.fdwFlags & SIPF_ON) != 0) {
        SipShowIM(SIPF_OFF);
    }
}

LRESULT OnSingleTap(HWND window) {
    DWORD now = GetTickCount();
    if (now - LastTrayTap < kTapRepeatGuard) {
        return 0;
    }
    LowerInputPanel();
    if (IsWindowVisible(window) == FALSE) {
        ShowPopupMenu(window, IDR_TRAY_POPUP, 0, -1, -1, AppInstance);
    }
    LastTrayTap = GetTickCount();
    return 0;
}

} // namespace

LRESULT HandleTrayNotify(HWND window, LPARAM mouseMessage) {
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
        return OnSingleTap(window);
    case WM_LBUTTONDBLCLK:
        ShowWindow(window, SW_SHOW);
        SetForegroundWindow(window);
        return 1;
    default:
        return 0;
    }
}

void ShowPopupMenu(HWND window, UINT menuId, int submenuIndex, int x, int y, HINSTANCE instance) {
    if (PopupDepth != 0 || PopupMenuHandle != nullptr) {
        return;
    }
    PopupMenuHandle = LoadMenuW(instance, MAKEINTRESOURCEW(menuId));
    if (PopupMenuHandle == nullptr) {
        return;
    }
    UINT command = 0;
    if (HMENU submenu = GetSubMenu(PopupMenuHandle, submenuIndex)) {
        ++PopupDepth;
        UINT flags = TPM_RETURNCMD;
        if (y == -1) {
            RECT workArea{};
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
            y = workArea.bottom;
            flags = TPM_RETURNCMD | TPM_BOTTOMALIGN;
            if (x == -1) {
                x = workArea.right;
                flags |= TPM_RIGHTALIGN;
            }
        }
        command = static_cast<UINT>(TrackPopupMenuEx(submenu, flags, x, y, window, nullptr));
        --PopupDepth;
    }
    DestroyMenu(PopupMenuHandle);
    PopupMenuHandle = nullptr;
    if (command != 0) {
        SendMessageW(window, UM_POPUP_COMMAND, command, 0);
    }
}
