// Output composition: what is typed after a good read, and in which order.
#pragma once

#include "platform/core/types.h"

// SendScanOutput's mode for a line of the line reader.
constexpr int kLineOutput = 2;

// Types the prefix, the data (the line's text when `msr` is kLineOutput, the
// selected tracks with separators when it is otherwise nonzero, else the tag text), the suffix,
// then TAB and ENTER as chosen. The three user texts are first refreshed from the dialog's edit
// boxes. Always returns 0.
int SendScanOutput(HWND dialog, int msr);
