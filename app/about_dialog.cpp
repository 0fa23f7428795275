#include "app/about_dialog.h"

#include "platform/shell/shell_dialogs.h"
#include "res/resource_ids.h"

INT_PTR AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        // A Done button in the caption, full-screen size, the input panel lowered.
        SHINITDLGINFO info;
        info.dwMask = SHIDIM_FLAGS;
        info.hDlg = dialog;
        info.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN;
        SHInitDialog(&info);
        return 1;
    }
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id == IDOK || id == IDC_ABOUT_OK) {
            EndDialog(dialog, id);
            return 1;
        }
        return 0;
    }
    default:
        return 0;
    }
}
