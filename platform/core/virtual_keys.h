// The key-state flags and virtual-key codes of key events, as the keyboard call,
// the window system's key messages and the controls all use them.
#pragma once

#include "platform/core/types.h"

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
