// The program's frame: the entry point with its single-instance check, the main
// window with its shell menu bar, the tray icon's taps and popup menu, and the
// orderly end. The main window's client area holds the options dialog.
#pragma once

#include "app/main_window_state.h"
#include "platform/windowing/dialogs.h"
#include "res/resource_ids.h"

// Set when the command line was exactly "MIN"; never cleared.
extern DWORD StartHidden;
// When the handling of the last accepted tray tap ended (GetTickCount); 0 at start.
extern DWORD LastTrayTap;
// Popup menus being tracked (0 or 1), and the menu ShowPopupMenu loaded while it runs.
extern UINT PopupDepth;
extern HMENU PopupMenuHandle;

// Runs the program: the quit message's wParam, or 0 when start-up stops early.
int WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);

// 1 when this instance runs on, 0 when it must end (another runs, or the window
// could not be created).
BOOL CreateMainWindow(HINSTANCE instance, int showCommand);
ATOM RegisterMainClass(HINSTANCE instance, LPCWSTR className);
HWND CreateMenuBar(HWND window);
LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Tracks popup menu `menuId`'s submenu at (x, y), or at the bottom-right corner
// of the work area for (-1, -1); a chosen item comes back as UM_POPUP_COMMAND.
void ShowPopupMenu(HWND window, UINT menuId, int submenuIndex, int x, int y, HINSTANCE instance);

// The tray icon's callback, lParam the mouse message: 1 for a double tap, else 0.
LRESULT HandleTrayNotify(HWND window, LPARAM mouseMessage);
