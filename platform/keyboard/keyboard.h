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
