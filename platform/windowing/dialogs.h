// Dialogs from templates. A template is the device's binary layout: a
// DLGTEMPLATE header followed by its menu, class, caption and (with DS_SETFONT)
// font, then one DWORD-aligned DLGITEMTEMPLATE per control with its class, text
// and creation data. Rectangles are in dialog units; the dialog's font decides
// how many pixels a unit is (see DialogBaseUnits).
#pragma once

#include "platform/core/types.h"
#include "platform/windowing/window.h"

#pragma pack(push, 2)
struct DLGTEMPLATE {
    DWORD style;
    DWORD dwExtendedStyle;
    WORD cdit; // number of controls
    short x;
    short y;
    short cx;
    short cy;
};
struct DLGITEMTEMPLATE {
    DWORD style;
    DWORD dwExtendedStyle;
    short x;
    short y;
    short cx;
    short cy;
    WORD id;
};
#pragma pack(pop)
static_assert(sizeof(DLGTEMPLATE) == 18 && sizeof(DLGITEMTEMPLATE) == 18);

using LPCDLGTEMPLATEW = const DLGTEMPLATE*;
using DLGPROC = LONG_PTR (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Dialog styles.
constexpr DWORD DS_ABSALIGN = 0x0001;
constexpr DWORD DS_SYSMODAL = 0x0002;
constexpr DWORD DS_SETFONT = 0x0040;
constexpr DWORD DS_MODALFRAME = 0x0080;
constexpr DWORD DS_SETFOREGROUND = 0x0200;
constexpr DWORD DS_CONTROL = 0x0400;
constexpr DWORD DS_CENTER = 0x0800;

// Class atoms of the built-in controls in a template (after a 0xFFFF marker).
constexpr WORD kDialogButtonAtom = 0x0080;
constexpr WORD kDialogEditAtom = 0x0081;
constexpr WORD kDialogStaticAtom = 0x0082;

// Standard command ids.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Offsets of SetWindowLongPtrW / GetWindowLongPtrW on a dialog window.
constexpr int DWLP_MSGRESULT = 0;
constexpr int DWLP_DLGPROC = static_cast<int>(sizeof(LRESULT));
constexpr int DWLP_USER = DWLP_DLGPROC + static_cast<int>(sizeof(DLGPROC));
constexpr int DWL_MSGRESULT = 0;

// The class name of dialog windows ("#32770" on the device).
inline constexpr char16_t kDialogClassName[] = u"#32770";

// Creates a modeless dialog from a template: the dialog window, then its
// controls in template order, then WM_INITDIALOG with `initParam` in lParam.
// When the procedure returns nonzero from WM_INITDIALOG, the first control with
// WS_TABSTOP gets the focus. A dialog with WS_VISIBLE is shown after that.
// Returns null (and creates nothing) for a template that cannot be read or a
// parent that is no window.
HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND parent,
                                DLGPROC procedure, LPARAM initParam);

// Runs a modal dialog: the owner is disabled, the dialog is created and shown,
// and messages of the whole program (timers included) are dispatched until
// EndDialog is called; then the dialog is destroyed, the owner enabled again and
// EndDialog's result returned. Returns -1 when the dialog cannot be created, and
// 0 when the program is asked to quit while it runs (the quit message is posted
// again for the caller's own loop).
INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND owner,
                                DLGPROC procedure, LPARAM initParam);

// Ends a modal dialog with `result`; its loop returns after the current message.
// Calling it for a modeless dialog only hides the dialog.
BOOL EndDialog(HWND dialog, INT_PTR result);

UINT GetDlgItemTextW(HWND dialog, int controlId, LPWSTR buffer, int capacity);
BOOL SetDlgItemTextW(HWND dialog, int controlId, LPCWSTR text);
LRESULT SendDlgItemMessageW(HWND dialog, int controlId, UINT message, WPARAM wParam, LPARAM lParam);
BOOL CheckDlgButton(HWND dialog, int controlId, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int controlId);
BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);
