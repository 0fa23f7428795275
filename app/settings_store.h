// The Settings in the registry (HKEY_LOCAL_MACHINE "Software\Zelna\Swipetype",
// one value per field, named as the field) and in the options dialog's controls.
// All three take the options dialog, which owns the readers' poll timers.
#pragma once

#include "platform/types.h"

// Reads the fields in their fixed order, showing each in its control. The first
// value that cannot be read (or a missing key) makes every later field take its
// default; the failing field itself keeps what it held. A text is always ended
// inside its 1024 units, whatever was stored. Starts the selected reader when
// Enable is set. 1 when every value was read, else 0.
int LoadSettings(HWND dialog);

// Writes the fields in the same order, taking the three texts from their edit
// boxes first; stops at the first write that fails. 1 when all fourteen were
// written, else 0.
int SaveSettings(HWND dialog);

// Puts the defaults into the fields and controls and stops both readers,
// without saving. The tray icon is refreshed so that its picture follows
// Enable, and a startup file is removed when AutoStart was on. Returns 1.
int ResetSettings(HWND dialog);
