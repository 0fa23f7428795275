#include "app/app_handles.h"

HINSTANCE AppInstance = nullptr;
HWND MainWindow = nullptr;
HWND MenuBar = nullptr;
HWND OptionsDialog = nullptr;
