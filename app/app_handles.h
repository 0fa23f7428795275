// The application's module-level handles, shared by the main window, the options
// dialog and the tray icon: null until their owner creates them.
#pragma once

#include "platform/core/types.h"

// The module instance, stored first thing at start-up and used for every
// resource load.
extern HINSTANCE AppInstance;

extern HWND MainWindow;
extern HWND MenuBar;
extern HWND OptionsDialog;
