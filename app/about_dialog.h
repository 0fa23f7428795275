// The About dialog: modal, full screen, with the program's icon, name and
// version. The main window runs it from template 103 with AboutDlgProc.
#pragma once

#include "platform/windowing/dialogs.h"

// Ends the dialog through its OK button (1032) or the caption's OK button (1),
// with that id as the result.
INT_PTR AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
