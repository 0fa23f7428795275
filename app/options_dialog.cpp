// The options dialog's procedure and its command table. The reading state
// comes from three Settings fields; the commands move between its states, drawn
// here for MSR and RFID (1033 Line, with the line reader on timer 1359, is a
// third row beside them: UseLine on, UseMSR kept for when it goes off):
//
//                1003 Enable / 1004 Disable
//   Off, MSR  <-----------------------------> On, MSR    (MSR reader, timer 1357)
//     ^  |                                      ^  |
//   1009 | 1010                               1009 | 1010
//     |  v                                      |  v
//   Off, RFID <-----------------------------> On, RFID   (RFID reader, timer 1358)
//
// Enable and Disable refresh the tray icon; a change of input type stops the
// reader that runs and, when reading is on, starts the other. The radio buttons
// have already moved when a command arrives, so the handlers look at the
// Settings fields, not at the buttons, and do nothing when the field already
// has the clicked value.
#include "app/options_dialog.h"

#include "app/autostart.h"
#include "app/main_window_state.h"
#include "app/settings_store.h"
#include "app/tray_icon.h"
#include "platform/resources/resources.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/painting.h"
#include "reader/line_reader.h"
#include "res/resource_ids.h"
#include "settings/setting_catalog.h"
#include "settings/settings.h"

namespace {

DWORD CheckStateOf(HWND dialog, int controlId) {
    return static_cast<DWORD>(SendMessageW(GetDlgItem(dialog, controlId), BM_GETCHECK, 0, 0));
}

void RefreshTrayIcon() {
    RemoveTrayIcon();
    AddTrayIcon();
}

void EnableReading(HWND dialog) {
    if (Settings.Enable != 0) {
        return;
    }
    Settings.Enable = 1;
    StartChosenReader(dialog);
    RefreshTrayIcon();
}

void DisableReading(HWND dialog) {
    if (Settings.Enable == 0) {
        return;
    }
    Settings.Enable = 0;
    StopEveryReader(dialog);
    RefreshTrayIcon();
}

// A new input type: the reader that runs stops and, when reading is on, the
// chosen one starts. Nothing happens when the type is the one chosen already.
void ChooseInput(HWND dialog, DWORD useLine, DWORD useMSR) {
    bool same = Settings.UseLine == useLine && (useLine != 0 || Settings.UseMSR == useMSR);
    Settings.UseLine = useLine;
    if (useLine == 0) {
        Settings.UseMSR = useMSR;
    }
    if (same) {
        return;
    }
    StopEveryReader(dialog);
    if (Settings.Enable != 0) {
        StartChosenReader(dialog);
    }
}

void EnableAutoStart(HWND dialog) {
    if (Settings.AutoStart != 0) {
        return;
    }
    Settings.AutoStart = 1;
    SetAutoStart(dialog, TRUE);
}

// Enable writes the startup file at once, before any save; a program that
// ends without saving then loads AutoStart off with the file still there. So
// Disable removes the file whether or not the field was on.
void DisableAutoStart(HWND dialog) {
    Settings.AutoStart = 0;
    SetAutoStart(dialog, FALSE);
}

// The other flags (Beep, SendTab, SendEnter, UseTrack1 to UseTrack3) take the
// check state of the control that shows them on: of a radio pair the first
// button, whichever of the two was clicked. The edit boxes' notifications and
// anything else change nothing.
void TakePlainFlag(HWND dialog, int controlId) {
    const SettingEntry* setting = FindSettingShownBy(controlId);
    if (setting != nullptr && setting->kind == kFlagSetting) {
        *NumberField(*setting, &Settings) = CheckStateOf(dialog, setting->control.id);
    }
}

// QUIT ends the program as both "Exit" commands do, taking the tray icon away
// first: a program that is gone must not leave its icon behind.
void Quit(HWND dialog) {
    SaveSettings(dialog);
    RemoveTrayIcon();
    DestroyWindow(MenuBar);
    PostQuitMessage(0);
}

void OnOptionsCommand(HWND dialog, int controlId) {
    switch (controlId) {
    case IDC_READING_ENABLE:
        EnableReading(dialog);
        break;
    case IDC_READING_DISABLE:
        DisableReading(dialog);
        break;
    case IDC_INPUT_MSR:
        ChooseInput(dialog, 0, 1);
        break;
    case IDC_INPUT_RFID:
        ChooseInput(dialog, 0, 0);
        break;
    case IDC_INPUT_LINE:
        ChooseInput(dialog, 1, Settings.UseMSR);
        break;
    case IDC_AUTOSTART_ENABLE:
        EnableAutoStart(dialog);
        break;
    case IDC_AUTOSTART_DISABLE:
        DisableAutoStart(dialog);
        break;
    case IDC_OK:
        SaveSettings(dialog);
        ShowWindow(MainWindow, SW_HIDE);
        break;
    case IDC_QUIT:
        Quit(dialog);
        break;
    default:
        TakePlainFlag(dialog, controlId);
        break;
    }
}

} // namespace

HWND CreateOptionsDialog(HWND parent, HINSTANCE instance) {
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(IDD_OPTIONS), RT_DIALOG);
    if (resource == nullptr) {
        return nullptr;
    }
    HGLOBAL loaded = LoadResource(instance, resource);
    if (loaded == nullptr) {
        return nullptr;
    }
    auto dialogTemplate = static_cast<LPCDLGTEMPLATEW>(LockResource(loaded));
    return CreateDialogIndirectParamW(instance, dialogTemplate, parent, OptionsDlgProc, 0);
}

INT_PTR OptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        LoadSettings(dialog);
        RefreshTrayIcon();
        return 1;
    case WM_COMMAND:
        OnOptionsCommand(dialog, LOWORD(wParam));
        return 1;
    case WM_DESTROY:
        SaveSettings(dialog);
        DestroyWindow(MenuBar);
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        SHHandleWMActivate(dialog, wParam, lParam, &ShellActivateInfo, 0);
        return 0;
    case WM_SETFOCUS:
        SetFocus(GetDlgItem(dialog, IDC_PREFIX));
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(dialog, &paint);
        EndPaint(dialog, &paint);
        return 0;
    }
    case WM_SETTINGCHANGE:
        SHHandleWMSettingChange(dialog, wParam, lParam, &ShellActivateInfo);
        return 0;
    default:
        return 0;
    }
}
