#include "platform/shell/shell.h"

#include <algorithm>
#include <string>

#include "platform/core/event_log.h"
#include "platform/core/recorder.h"
#include "platform/core/system.h"
#include "platform/resources/resources.h"

namespace platform {
namespace {

constexpr std::size_t kTipCapacity = 64;

struct TrayState {
    std::vector<TrayIcon> icons;
    std::function<void()> listener;
};

TrayState& State() {
    static TrayState state;
    return state;
}

std::vector<TrayIcon>::iterator Find(HWND window, UINT id) {
    std::vector<TrayIcon>& icons = State().icons;
    return std::find_if(icons.begin(), icons.end(), [&](const TrayIcon& icon) {
        return icon.window == window && icon.id == id;
    });
}

// Copies the fields that uFlags names from the record into the icon.
void Apply(const NOTIFYICONDATAW& data, TrayIcon& icon) {
    if ((data.uFlags & NIF_MESSAGE) != 0) {
        icon.callbackMessage = data.uCallbackMessage;
    }
    if ((data.uFlags & NIF_ICON) != 0) {
        icon.icon = data.hIcon;
        icon.iconResourceId = data.hIcon != nullptr ? IconResourceId(data.hIcon) : 0;
    }
    if ((data.uFlags & NIF_TIP) != 0) {
        const WCHAR* end = std::find(data.szTip, data.szTip + kTipCapacity - 1, u'\0');
        icon.tip.assign(data.szTip, end);
    }
}

// One event log line and one recorded entry per call.
void Log(const char* op, const TrayIcon* shown, bool ok) {
    std::string fields = std::string("\"op\":\"") + op + '"';
    RecordedTray recorded{op, 0, {}, ok};
    if (shown != nullptr) {
        recorded.icon = shown->iconResourceId;
        recorded.tip = shown->tip;
        fields +=
            ",\"icon\":" + std::to_string(recorded.icon) + ",\"tip\":" + JsonString(shown->tip);
    }
    if (!ok) {
        fields += ",\"ok\":false";
    }
    WriteEvent("tray", fields);
    if (IsRecording()) {
        Recorded().tray.push_back(std::move(recorded));
        Recorded().order.emplace_back("tray");
    }
}

void Changed() {
    if (State().listener) {
        State().listener();
    }
}

BOOL Add(const NOTIFYICONDATAW& data) {
    TrayIcon icon;
    icon.window = data.hWnd;
    icon.id = data.uID;
    Apply(data, icon);
    if (Find(data.hWnd, data.uID) != State().icons.end()) {
        Log("add", &icon, false);
        return FALSE;
    }
    State().icons.push_back(icon);
    Log("add", &icon, true);
    Changed();
    return TRUE;
}

BOOL Modify(const NOTIFYICONDATAW& data) {
    auto found = Find(data.hWnd, data.uID);
    if (found == State().icons.end()) {
        TrayIcon asked;
        Apply(data, asked);
        Log("modify", &asked, false);
        return FALSE;
    }
    Apply(data, *found);
    Log("modify", &*found, true);
    Changed();
    return TRUE;
}

BOOL Delete(const NOTIFYICONDATAW& data) {
    auto found = Find(data.hWnd, data.uID);
    if (found == State().icons.end()) {
        Log("delete", nullptr, false);
        return FALSE;
    }
    State().icons.erase(found);
    Log("delete", nullptr, true);
    Changed();
    return TRUE;
}

} // namespace

std::vector<TrayIcon> TrayIcons() {
    return State().icons;
}

void SetTrayIconListener(std::function<void()> listener) {
    State().listener = std::move(listener);
}

void ClearTrayIcons() {
    State().icons.clear();
}

} // namespace platform

BOOL Shell_NotifyIconW(DWORD message, PNOTIFYICONDATAW data) {
    bool knownSize = data != nullptr && (data->cbSize == NOTIFYICONDATAW_DEVICE_SIZE ||
                                         data->cbSize == sizeof(NOTIFYICONDATAW));
    if (knownSize) {
        switch (message) {
        case NIM_ADD:
            return platform::Add(*data);
        case NIM_MODIFY:
            return platform::Modify(*data);
        case NIM_DELETE:
            return platform::Delete(*data);
        default:
            break;
        }
    }
    platform::Log(message == NIM_ADD      ? "add"
                  : message == NIM_MODIFY ? "modify"
                  : message == NIM_DELETE ? "delete"
                                          : "unknown",
                  nullptr, false);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
