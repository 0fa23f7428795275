// Output composition: what is typed after a good read, and in which order.
#pragma once

#include "platform/core/types.h"

// Types the prefix, the data (the selected tracks with separators when `msr` is
// nonzero, else the tag text), the suffix, then TAB and ENTER as chosen. The three
// user texts are first refreshed from the dialog's edit boxes. Always returns 0.
int SendScanOutput(HWND dialog, int msr);
