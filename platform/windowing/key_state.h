// The keyboard state that the program's own windows see: which keys are down.
// Whoever delivers key messages to the window system (a front end, the
// cross-process interface, a test) reports presses and releases here;
// GetKeyState reads them, as accelerators and controls do on the device.
#pragma once

#include "platform/core/types.h"
#include "platform/core/virtual_keys.h"

constexpr UINT VK_CONTROL = 0x11;
constexpr UINT VK_MENU = 0x12; // Alt

// High bit set while the key is down; low bit toggled by each press.
short GetKeyState(int virtualKey);
short GetAsyncKeyState(int virtualKey);

namespace platform {

void SetKeyDown(UINT virtualKey, bool down);
// Releases every key (for tests and when a front end loses the keyboard).
void ReleaseAllKeys();

} // namespace platform
