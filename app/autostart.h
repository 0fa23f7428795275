// Autostart on boot: the startup file "\Swipetype.RUN" in the terminal's startup
// folder makes its boot launcher start this program hidden. The file holds the
// program's path, a carriage return and "MIN", nothing more.
#pragma once

#include "platform/core/types.h"

// With `on`, writes the startup file (created, or emptied and rewritten); without
// it, deletes the file. The startup folder is the HKEY_CURRENT_USER value
// "Software\Zelna\Startup" "Path", else "\Application\Startup". `window` plays no
// part. Failures are silent and leave the file as it was; returns 1 always.
int SetAutoStart(HWND window, BOOL on);
