// The Pocket PC shell's help for dialogs and top-level windows: SHInitDialog
// (the caption's Done button, full-screen size, the input panel lowered) and the
// shell's handling of activation and setting changes. The shell's part of each
// call is kept as state of the window that a front end can show; the window
// system does the rest (moving and resizing).
#pragma once

#include "platform/core/types.h"

constexpr DWORD SHIDIM_FLAGS = 0x0001;
constexpr DWORD SHIDIF_DONEBUTTON = 0x0001;
constexpr DWORD SHIDIF_SIZEDLG = 0x0002;
constexpr DWORD SHIDIF_SIZEDLGFULLSCREEN = 0x0004;
constexpr DWORD SHIDIF_SIPDOWN = 0x0008;
constexpr DWORD SHIDIF_FULLSCREENNOMENUBAR = 0x0010;
constexpr DWORD SHIDIF_EMPTYMENU = 0x0020;

struct SHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
};
using PSHINITDLGINFO = SHINITDLGINFO*;

// The shell's activation record. On the device it is 12 bytes and callers set
// cbSize to 12; here the handle is wider, so any cbSize of at least 12 is taken.
struct SHACTIVATEINFO {
    DWORD cbSize;
    HWND hwndLastFocus;
    UINT fSipUp : 1;
    UINT fSipOnDeactivation : 1;
    UINT fActive : 1;
    UINT fReserved : 29;
};
using PSHACTIVATEINFO = SHACTIVATEINFO*;
constexpr DWORD kShellActivateInfoDeviceSize = 12;

// Flags of SHHandleWMActivate.
constexpr DWORD SHA_INPUTDIALOG = 0x00000001;

// Applies the flags to the dialog: SHIDIF_DONEBUTTON gives its caption an OK
// button (WS_EX_CAPTIONOKBTN), SHIDIF_SIZEDLGFULLSCREEN and SHIDIF_SIZEDLG size
// it to the work area above the menu bar, SHIDIF_FULLSCREENNOMENUBAR to the whole
// work area. FALSE for a missing record, a mask without SHIDIM_FLAGS or a
// dialog that is no window.
BOOL SHInitDialog(PSHINITDLGINFO info);

// Records the activation in `info`: fActive follows wParam; on deactivation the
// window's focus, if inside it, is kept in hwndLastFocus; on activation the focus
// goes back there when it is still a window inside `window` and nothing inside
// has the focus. FALSE for a missing or too small record.
BOOL SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM lParam, PSHACTIVATEINFO info,
                        DWORD flags);

// Records the setting change; FALSE for a missing or too small record.
BOOL SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM lParam, PSHACTIVATEINFO info);

namespace platform {

// What the shell calls left with a window, for front ends and tests.
struct ShellWindowState {
    bool dialogInitialised = false;
    DWORD dialogFlags = 0;   // of SHInitDialog
    int activations = 0;     // SHHandleWMActivate calls
    bool active = false;     // as the last one said
    DWORD activateFlags = 0; // of the last one
    int settingChanges = 0;  // SHHandleWMSettingChange calls
    WPARAM lastSetting = 0;  // its wParam
};

// False when no shell call has been made for the window.
bool GetShellWindowState(HWND window, ShellWindowState& state);

} // namespace platform
