#include "platform/shell/input_panel.h"

#include "platform/core/system.h"
#include "platform/windowing/window.h"

namespace {

platform::InputPanel& Panel() {
    static platform::InputPanel panel;
    return panel;
}

bool HavePanel() {
    return Panel().isUp && Panel().show;
}

} // namespace

DWORD SipStatus() {
    return HavePanel() ? SIP_STATUS_AVAILABLE : SIP_STATUS_UNAVAILABLE;
}

BOOL SipGetInfo(SIPINFO* info) {
    if (info == nullptr ||
        (info->cbSize != kSipInfoDeviceSize && info->cbSize != sizeof(SIPINFO))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!HavePanel()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    info->fdwFlags = Panel().isUp() ? SIPF_ON : SIPF_OFF;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &info->rcVisibleDesktop, 0);
    info->rcSipRect = RECT{};
    return TRUE;
}

BOOL SipShowIM(DWORD flags) {
    if (!HavePanel()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    Panel().show((flags & SIPF_ON) != 0);
    return TRUE;
}

namespace platform {

void SetInputPanel(InputPanel panel) {
    Panel() = std::move(panel);
}

} // namespace platform
