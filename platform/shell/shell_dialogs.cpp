#include "platform/shell/shell_dialogs.h"

#include <map>

#include "platform/core/system.h"
#include "platform/windowing/window.h"

namespace platform {
namespace {

constexpr int kMenuBarHeight = 26;

std::map<HWND, ShellWindowState>& States() {
    static std::map<HWND, ShellWindowState> states;
    // Windows that are gone leave their state behind; drop it as we go.
    std::erase_if(states, [](const auto& entry) { return !IsWindow(entry.first); });
    return states;
}

bool RecordUsable(const SHACTIVATEINFO* info) {
    if (info == nullptr || info->cbSize < kShellActivateInfoDeviceSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

void SizeToWorkArea(HWND dialog, bool leaveMenuBar) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int height = work.bottom - work.top - (leaveMenuBar ? kMenuBarHeight : 0);
    MoveWindow(dialog, work.left, work.top, work.right - work.left, height, TRUE);
}

} // namespace

bool GetShellWindowState(HWND window, ShellWindowState& state) {
    auto& states = States();
    auto found = states.find(window);
    if (found == states.end()) {
        return false;
    }
    state = found->second;
    return true;
}

} // namespace platform

BOOL SHInitDialog(PSHINITDLGINFO info) {
    if (info == nullptr || (info->dwMask & SHIDIM_FLAGS) == 0 || !IsWindow(info->hDlg)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HWND dialog = info->hDlg;
    DWORD flags = info->dwFlags;
    platform::ShellWindowState& state = platform::States()[dialog];
    state.dialogInitialised = true;
    state.dialogFlags = flags;
    if ((flags & SHIDIF_DONEBUTTON) != 0) {
        SetWindowLongW(dialog, GWL_EXSTYLE,
                       static_cast<LONG>(static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)) |
                                         WS_EX_CAPTIONOKBTN));
    }
    if ((flags & SHIDIF_FULLSCREENNOMENUBAR) != 0) {
        platform::SizeToWorkArea(dialog, false);
    } else if ((flags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIZEDLG)) != 0) {
        platform::SizeToWorkArea(dialog, true);
    }
    return TRUE;
}

BOOL SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM, PSHACTIVATEINFO info, DWORD flags) {
    if (!platform::RecordUsable(info)) {
        return FALSE;
    }
    bool active = LOWORD(wParam) != WA_INACTIVE;
    platform::ShellWindowState& state = platform::States()[window];
    ++state.activations;
    state.active = active;
    state.activateFlags = flags;
    info->fActive = active ? 1 : 0;
    HWND focus = GetFocus();
    bool focusInside = focus != nullptr && (focus == window || IsChild(window, focus));
    if (!active && focusInside) {
        info->hwndLastFocus = focus;
    } else if (active && !focusInside && info->hwndLastFocus != nullptr &&
               IsChild(window, info->hwndLastFocus)) {
        SetFocus(info->hwndLastFocus);
    }
    return TRUE;
}

BOOL SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM, PSHACTIVATEINFO info) {
    if (!platform::RecordUsable(info)) {
        return FALSE;
    }
    platform::ShellWindowState& state = platform::States()[window];
    ++state.settingChanges;
    state.lastSetting = wParam;
    return TRUE;
}
