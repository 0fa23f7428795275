#include "platform/gtk/tray_mirror.h"
#include "platform/shell/shell.h"

#include "platform/gtk/status_notifier_item.h"
#include "platform/gtk/status_notifier_watcher.h"
#include "platform/gtk/xembed_tray.h"

namespace platform::gtk_front_end {
namespace {

struct TrayState {
    bool onX11 = false;
};

TrayState& State() {
    static TrayState state;
    return state;
}

} // namespace

void StartTrayMirror(bool onX11) {
    State().onX11 = onX11;
    if (onX11) {
        LookForXEmbedTrayHost();
    }
    FollowStatusNotifierWatcher([] { SyncTrayIcons(); });
}

void SyncTrayIcons() {
    TrayState& state = State();
    std::vector<TrayIcon> icons = platform::TrayIcons();
    if (StatusNotifierWatcherPresent()) {
        ClearXEmbedIcons();
        SyncStatusNotifierItems(icons);
    } else {
        ClearStatusNotifierItems();
        if (state.onX11) {
            SyncXEmbedIcons(icons);
        }
    }
}

bool TrayPresent() {
    return StatusNotifierWatcherPresent() || (State().onX11 && XEmbedTrayHostPresent());
}

void ClearTrayIcons(bool displayGone) {
    ClearStatusNotifierItems();
    if (!displayGone) {
        ClearXEmbedIcons();
    }
    StopFollowingStatusNotifierWatcher();
}

} // namespace platform::gtk_front_end
