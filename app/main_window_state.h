// The main window's state that the options dialog shares: the module handles
// (app/app_handles.h) and the shell's activation record, which the main window
// sets up when it is created and both windows pass to the shell.
#pragma once

#include "app/app_handles.h"
#include "platform/shell/shell_dialogs.h"

// Size field 12, the rest zero, once the main window has been created.
extern SHACTIVATEINFO ShellActivateInfo;
