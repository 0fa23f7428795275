// Keyboard accelerators: tables loaded from accelerator resources and the
// translation of key messages into WM_COMMAND.
#pragma once

#include "platform/core/types.h"

// Flags of an accelerator entry; in a resource the last entry also has 0x80.
constexpr BYTE FVIRTKEY = 0x01;
constexpr BYTE FNOINVERT = 0x02;
constexpr BYTE FSHIFT = 0x04;
constexpr BYTE FCONTROL = 0x08;
constexpr BYTE FALT = 0x10;
constexpr WORD kAcceleratorLastEntry = 0x80;

struct ACCEL {
    BYTE fVirt;
    WORD key;
    WORD cmd;
};

constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSCHAR = 0x0106;

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);

// When `message` is a key-down (virtual-key entries) or a character (character
// entries) that matches an entry of the table, with the Shift, Ctrl and Alt keys
// down exactly as the entry asks (GetKeyState), sends `window` WM_COMMAND with
// the entry's command in the low word and 1 in the high word, and returns
// nonzero. Otherwise returns 0 and sends nothing.
int TranslateAcceleratorW(HWND window, HACCEL table, const MSG* message);
