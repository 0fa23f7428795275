// The Settings in the registry (HKEY_LOCAL_MACHINE "Software\Zelna\Swipetype",
// one value per field, named as the field) and in the options dialog's controls.
// All three take the options dialog, which owns the readers' poll timers.
#pragma once

#include "platform/core/types.h"

// Reads the fields in the catalogue's order, each value on its own, showing each
// in its control. Values are taken as settings/setting_values.h says: one that
// is missing, of a type the setting cannot take, no number or flag word, or
// outside its limits gives its field the default and leaves the others as
// stored; a text too long for its field keeps its first 1023 units. Starts the
// selected reader when Enable is set. 1 when every value was read whole, else 0.
int LoadSettings(HWND dialog);

// Writes the fields in the same order, taking the texts the catalogue shows in
// edit boxes from them first; stops at the first write that fails. 1 when all
// were written, else 0.
int SaveSettings(HWND dialog);

// Puts the defaults into the fields and controls and stops both readers,
// without saving. The tray icon is refreshed so that its picture follows
// Enable, and the startup file is removed whenever it exists. Returns 1.
int ResetSettings(HWND dialog);
