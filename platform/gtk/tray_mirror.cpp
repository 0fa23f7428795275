#include "platform/gtk/tray_mirror.h"
#include "platform/shell/shell.h"

#include "platform/gtk/status_notifier_item.h"
#include "platform/gtk/status_notifier_watcher.h"
#include "platform/gtk/xembed_tray.h"

#include <cstdio>
#include <glib.h>

namespace platform::gtk_front_end {
namespace {

// How long a panel may take to show a new icon before the program says that
// there is none.
constexpr guint kShowGraceSeconds = 3;

struct TrayState {
    bool onX11 = false;
    bool checkScheduled = false; // once, after the first icon
};

TrayState& State() {
    static TrayState state;
    return state;
}

gboolean CheckShown(gpointer) {
    bool shown = StatusNotifierItemRegistered() || AnyXEmbedIconEmbedded();
    if (!shown && !platform::TrayIcons().empty()) {
        std::fputs("swipetype: no system tray is running on this display, so the tray icon is "
                   "not shown; starting swipetype again brings its window back\n",
                   stderr);
    }
    return G_SOURCE_REMOVE;
}

} // namespace

void StartTrayMirror(bool onX11) {
    State().onX11 = onX11;
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
    if (!icons.empty() && !state.checkScheduled) {
        state.checkScheduled = true;
        g_timeout_add_seconds(kShowGraceSeconds, CheckShown, nullptr);
    }
}

void ClearTrayIcons(bool displayGone) {
    ClearStatusNotifierItems();
    if (!displayGone) {
        ClearXEmbedIcons();
    }
    StopFollowingStatusNotifierWatcher();
}

} // namespace platform::gtk_front_end
