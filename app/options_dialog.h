// The options dialog: a modeless child of the main window where the user
// switches reading on and off, chooses the reader and edits the Settings. Every
// click takes effect at once; OK and QUIT also save. The dialog window owns the
// readers' poll timers.
#pragma once

#include "platform/windowing/dialogs.h"

// Creates the dialog from template 102, hidden, at the top-left corner of the
// parent's client area. Returns the dialog, or null when the template cannot be
// found or the dialog not created.
HWND CreateOptionsDialog(HWND parent, HINSTANCE instance);

// The dialog procedure: nonzero when the message was handled.
INT_PTR OptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
