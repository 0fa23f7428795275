// The soft input panel (SIP). This host has none of its own: unless a front end
// provides one, SipStatus says it is unavailable, SipGetInfo fails and SipShowIM
// changes nothing, each as the device's calls report a missing panel.
#pragma once

#include <functional>

#include "platform/core/types.h"

struct SIPINFO {
    DWORD cbSize;
    DWORD fdwFlags;
    RECT rcVisibleDesktop;
    RECT rcSipRect;
    DWORD dwImDataSize;
    void* pvImData;
};

// The record's size on the device (32-bit pointers); callers fill cbSize with it.
// sizeof(SIPINFO) is accepted as well.
constexpr DWORD kSipInfoDeviceSize = 48;

constexpr DWORD SIP_STATUS_UNAVAILABLE = 0;
constexpr DWORD SIP_STATUS_AVAILABLE = 1;
constexpr DWORD SIPF_OFF = 0x00000000;
constexpr DWORD SIPF_ON = 0x00000001;
constexpr DWORD SIPF_DOCKED = 0x00000002;
constexpr DWORD SIPF_LOCKED = 0x00000004;

DWORD SipStatus();
// Fills fdwFlags (SIPF_ON while the panel is up) and the rectangles. FALSE with
// ERROR_NOT_SUPPORTED without a panel, ERROR_INVALID_PARAMETER for a bad record.
BOOL SipGetInfo(SIPINFO* info);
// Raises (SIPF_ON) or lowers (SIPF_OFF) the panel. FALSE without a panel.
BOOL SipShowIM(DWORD flags);

namespace platform {

// An input panel a front end offers: whether it is up, and raising or lowering it.
struct InputPanel {
    std::function<bool()> isUp;
    std::function<void(bool up)> show;
};

// Installs the panel; an InputPanel with empty functions removes it.
void SetInputPanel(InputPanel panel);

} // namespace platform
