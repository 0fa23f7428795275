// Keyboard injection: PostKeybdMessage hands key events to the application that
// has the keyboard focus. On this host the events go to a key sink (X11, uinput,
// standard output or nowhere), chosen at start-up.
#pragma once

#include "platform/core/types.h"
#include "platform/core/virtual_keys.h"

// Posts `count` key events with the virtual key and flags, each with its element
// of the shift-state and character buffers. `window` -1 means the window with the
// keyboard focus. Returns FALSE with ERROR_INVALID_PARAMETER when the buffers are
// missing or the count is 0.
BOOL PostKeybdMessage(HWND window, UINT virtualKey, UINT flags, UINT count, UINT* shiftStates,
                      UINT* characters);

// Whether the key sink can type every character of `text` as itself, in the
// session's layout as it is now. A read is checked whole before any of it is
// typed: typed in part, or with a character replaced by the one a key gives
// in another layout, it would be different text. When a character cannot be
// typed this says, once for each kind of character and reason, what was
// dropped and what to do, and returns FALSE.
BOOL CanTypeText(LPCWSTR text);

// Counts a read that was not typed at all (a character the layout lacks, a
// sink that is gone).
void CountDroppedRead(void);

// Says, at start and when it is set, that a setting typed with every read
// (Prefix, Suffix, TrackSeparator) holds a character the key sink cannot
// type, so that every read would be dropped. FALSE when it does.
BOOL CheckTypedSetting(LPCWSTR name, LPCWSTR text);

namespace platform {

// The reads dropped since the program started.
unsigned long long DroppedReadCount();

} // namespace platform
