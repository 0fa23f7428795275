// Keyboard injection: PostKeybdMessage hands key events to the application that
// has the keyboard focus. On this host the events go to a key sink (X11, uinput,
// standard output or nowhere), chosen at start-up.
#pragma once

#include "platform/types.h"

// Key-state flags of a key event.
constexpr UINT KeyStateToggledFlag = 0x00000001;
constexpr UINT KeyStateDownFlag = 0x00000080;
constexpr UINT KeyShiftNoCharacterFlag = 0x00010000;

// Virtual-key codes used by name.
constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SHIFT = 0x10;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;

// Posts `count` key events with the virtual key and flags, each with its element
// of the shift-state and character buffers. `window` -1 means the window with the
// keyboard focus. Returns FALSE with ERROR_INVALID_PARAMETER when the buffers are
// missing or the count is 0.
BOOL PostKeybdMessage(HWND window, UINT virtualKey, UINT flags, UINT count, UINT* shiftStates,
                      UINT* characters);
