// The two fixed tables of keystroke synthesis, indexed by the low 8 bits of a
// character code: its virtual-key code and whether it is typed with Shift.
#pragma once

#include "platform/core/types.h"

extern const BYTE CharToVirtualKey[256];
extern const INT CharNeedsShift[256];
