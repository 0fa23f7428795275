// Creation of the main window and its procedure. The window is a plain
// top-level window; the options dialog is its child and fills its client area,
// and the menu bar sits below it.
#include "app/main_window.h"

#include <algorithm>
#include <iterator>

#include "app/about_dialog.h"
#include "app/options_dialog.h"
#include "app/settings_store.h"
#include "app/tray_icon.h"
#include "platform/core/system.h"
#include "platform/resources/resources.h"
#include "platform/shell/menu_bar.h"
#include "platform/shell/shell_dialogs.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/painting.h"
#include "reader/tag_text.h"
#include "reader/track_decode.h"
#include "res/resource_ids.h"
#include "settings/setting_catalog.h"
#include "settings/settings.h"

DWORD StartHidden = 0;

namespace {

constexpr int kStringBufferSize = 100;
constexpr DWORD kMainWindowStyle = 0x10010000;                        // WS_VISIBLE and 0x00010000
constexpr UINT kPaintFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE; // 0x25
constexpr DWORD kStartHiddenDelay = 250;                              // ms

void RunAboutDialog(HWND owner) {
    HRSRC resource = FindResourceW(AppInstance, MAKEINTRESOURCEW(IDD_ABOUT), RT_DIALOG);
    if (resource == nullptr) {
        return;
    }
    auto dialogTemplate =
        static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(AppInstance, resource)));
    DialogBoxIndirectParamW(AppInstance, dialogTemplate, owner, AboutDlgProc, 0);
}

void EndProgram(HWND window) {
    RemoveTrayIcon();
    DestroyWindow(window);
}

void ShowAndBringForward(HWND window) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
}

void Paint(HWND window) {
    PAINTSTRUCT paint{};
    HDC context = BeginPaint(window, &paint);
    RECT client{};
    GetClientRect(window, &client);
    WCHAR text[kStringBufferSize] = {};
    LoadStringW(AppInstance, IDS_PAINTED, text, kStringBufferSize);
    DrawTextW(context, text, -1, &client, kPaintFormat);
    EndPaint(window, &paint);
}

void ShowOptions(HWND window) {
    if (OptionsDialog == nullptr) {
        OptionsDialog = CreateOptionsDialog(window, AppInstance);
    }
    ShowWindow(OptionsDialog, SW_SHOW);
    AddTrayIcon();
    if (StartHidden != 0) {
        Sleep(kStartHiddenDelay);
        ShowWindow(window, SW_HIDE);
    }
}

LRESULT OnCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDM_ABOUT:
        RunAboutDialog(window);
        return 0;
    case IDM_EXIT:
        EndProgram(window);
        return 0;
    case IDM_RESET_DEFAULTS:
        ResetSettings(OptionsDialog);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT OnPopupCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (wParam) {
    case IDM_POPUP_SHOW:
        ShowAndBringForward(window);
        return 0;
    case IDM_POPUP_ABOUT:
        ShowAndBringForward(window);
        RunAboutDialog(window);
        return 0;
    case IDM_POPUP_EXIT:
        EndProgram(window);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

BOOL CreateMainWindow(HINSTANCE instance, int showCommand) {
    AppInstance = instance;
    WCHAR className[kStringBufferSize] = {};
    WCHAR title[kStringBufferSize] = {};
    LoadStringW(instance, IDS_CLASS_NAME, className, kStringBufferSize);
    LoadStringW(instance, IDS_TITLE, title, kStringBufferSize);

    // Single instance: bring the running one forward, with its owned windows
    // (the lowest handle bit asks for them), and end this one.
    if (HWND running = FindWindowW(className, title)) {
        SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(running) | 1));
        ShowWindow(running, SW_SHOW);
        return FALSE;
    }

    RegisterMainClass(instance, className);
    HWND window =
        CreateWindowExW(0, className, title, kMainWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return FALSE;
    }
    if (MenuBar != nullptr) {
        RECT rect{};
        GetWindowRect(window, &rect);
        MoveWindow(window, rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top - kMenuBarHeight, FALSE);
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MainWindow = window;
    AddTrayIcon();

    std::fill(std::begin(Settings.Prefix), std::end(Settings.Prefix), u'\0');
    std::fill(std::begin(Settings.Suffix), std::end(Settings.Suffix), u'\0');
    std::fill(std::begin(Settings.TrackSeparator), std::end(Settings.TrackSeparator), u'\0');
    ClearMSRBuffers();
    std::fill(std::begin(TagText), std::end(TagText), '\0');
    SetSettingDefault(*FindSetting(u"MSRInterval"), &Settings);
    SetSettingDefault(*FindSetting(u"RFIDInterval"), &Settings);
    return TRUE;
}

ATOM RegisterMainClass(HINSTANCE instance, LPCWSTR className) {
    WNDCLASSW windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SWIPETYPE));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = className;
    return RegisterClassW(&windowClass);
}

HWND CreateMenuBar(HWND window) {
    SHMENUBARINFO info{};
    info.cbSize = kMenuBarInfoDeviceSize;
    info.hwndParent = window;
    info.nToolBarId = IDR_MENU_BAR;
    info.hInstRes = AppInstance;
    if (SHCreateMenuBar(&info) == FALSE) {
        return nullptr;
    }
    return info.hwndMB;
}

LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        MenuBar = CreateMenuBar(window);
        ShellActivateInfo = SHACTIVATEINFO{};
        ShellActivateInfo.cbSize = kShellActivateInfoDeviceSize;
        PostMessageW(window, UM_SHOW_OPTIONS, 0, 0);
        return 0;
    case WM_DESTROY:
        DestroyWindow(MenuBar);
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED) {
            SaveSettings(OptionsDialog);
            ShowWindow(window, SW_HIDE);
        }
        return 0;
    case WM_ACTIVATE:
        SHHandleWMActivate(window, wParam, lParam, &ShellActivateInfo, 0);
        return 0;
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_SETTINGCHANGE:
        SHHandleWMSettingChange(window, wParam, lParam, &ShellActivateInfo);
        return 0;
    case WM_COMMAND:
        return OnCommand(window, message, wParam, lParam);
    case UM_SHOW_OPTIONS:
        ShowOptions(window);
        return 0;
    case UM_TRAY_NOTIFY:
        return HandleTrayNotify(window, lParam);
    case UM_POPUP_COMMAND:
        return OnPopupCommand(window, message, wParam, lParam);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
