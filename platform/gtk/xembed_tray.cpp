#include "platform/gtk/xembed_tray.h"
#include "platform/core/unicode.h"
#include "platform/gtk/gtk_inspect.h"
#include "platform/shell/shell.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"

#include "platform/gtk/icon_pixbufs.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <string>
#include <vector>

namespace platform::gtk_front_end {
namespace {

constexpr UINT kRightButtonDown = 0x0204;
constexpr UINT kRightButtonDoubleClick = 0x0206;

struct ShownIcon {
    TrayIcon icon;
    GtkStatusIcon* status = nullptr;
};

struct TrayState {
    std::vector<ShownIcon> shown;
    bool hostPresent = false;
};

TrayState& State() {
    static TrayState state;
    return state;
}

const ShownIcon* FindShown(GtkStatusIcon* status) {
    for (const ShownIcon& shown : State().shown) {
        if (shown.status == status) {
            return &shown;
        }
    }
    return nullptr;
}

gboolean OnButtonPress(GtkStatusIcon* status, GdkEventButton* event, gpointer) {
    const ShownIcon* shown = FindShown(status);
    if (shown == nullptr || shown->icon.callbackMessage == 0) {
        return FALSE;
    }
    UINT mouse = 0;
    if (event->type == GDK_BUTTON_PRESS) {
        // GDK queues its double-click event right behind the second press; the
        // device reports the double click in that press's place.
        GdkEvent* next = gdk_event_peek();
        bool doubleClickFollows = next != nullptr && next->type == GDK_2BUTTON_PRESS;
        if (next != nullptr) {
            gdk_event_free(next);
        }
        if (doubleClickFollows) {
            return TRUE;
        }
        mouse = event->button == 1 ? WM_LBUTTONDOWN : event->button == 3 ? kRightButtonDown : 0;
    } else if (event->type == GDK_2BUTTON_PRESS) {
        mouse = event->button == 1   ? WM_LBUTTONDBLCLK
                : event->button == 3 ? kRightButtonDoubleClick
                                     : 0;
    }
    if (mouse == 0) {
        return FALSE;
    }
    PostMessageW(shown->icon.window, shown->icon.callbackMessage, shown->icon.id,
                 static_cast<LPARAM>(mouse));
    return TRUE;
}

// A host coming takes the icon in, a host going lets it go: either way the
// windows that hide in the tray are looked at again.
void OnEmbeddedChanged(GObject*, GParamSpec*, gpointer) {
    LookForXEmbedTrayHost();
}

void Apply(ShownIcon& shown, const TrayIcon& icon, bool first) {
    if (first || shown.icon.icon != icon.icon) {
        GdkPixbuf* picture = IconPixbuf(icon.icon);
        if (picture != nullptr) {
            gtk_status_icon_set_from_pixbuf(shown.status, picture);
        }
    }
    if (first || shown.icon.tip != icon.tip) {
        std::string tip = Utf16ToUtf8(icon.tip);
        gtk_status_icon_set_tooltip_text(shown.status, tip.c_str());
        gtk_status_icon_set_title(shown.status, tip.c_str());
    }
    shown.icon = icon;
}

void Drop(ShownIcon& shown) {
    gtk_status_icon_set_visible(shown.status, FALSE);
    g_object_unref(shown.status);
    shown.status = nullptr;
}

} // namespace

void SyncXEmbedIcons(const std::vector<TrayIcon>& icons) {
    TrayState& state = State();
    std::vector<ShownIcon> kept;
    for (ShownIcon& shown : state.shown) {
        bool present = false;
        for (const TrayIcon& icon : icons) {
            present = present || (icon.window == shown.icon.window && icon.id == shown.icon.id);
        }
        if (present) {
            kept.push_back(shown);
        } else {
            Drop(shown);
        }
    }
    state.shown = std::move(kept);
    for (const TrayIcon& icon : icons) {
        ShownIcon* match = nullptr;
        for (ShownIcon& shown : state.shown) {
            if (shown.icon.window == icon.window && shown.icon.id == icon.id) {
                match = &shown;
            }
        }
        if (match != nullptr) {
            if (!(match->icon == icon)) {
                Apply(*match, icon, false);
            }
            continue;
        }
        ShownIcon added;
        // No gtk_status_icon_set_name: the icon's class is the program's
        // already, and naming it before it is shown makes GDK complain
        // (a critical about toplevel updates) when the tray host maps it.
        added.status = gtk_status_icon_new();
        g_signal_connect(added.status, "button-press-event", G_CALLBACK(OnButtonPress), nullptr);
        g_signal_connect(added.status, "notify::embedded", G_CALLBACK(OnEmbeddedChanged), nullptr);
        Apply(added, icon, true);
        gtk_status_icon_set_visible(added.status, TRUE);
        state.shown.push_back(added);
    }
}

bool XEmbedTrayHostPresent() {
    return State().hostPresent;
}

void LookForXEmbedTrayHost() {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) {
        State().hostPresent = false;
        return;
    }
    // The host of each screen owns the selection _NET_SYSTEM_TRAY_S<screen number>.
    int screen = gdk_x11_screen_get_screen_number(gdk_display_get_default_screen(display));
    std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
    ::Display* connection = GDK_DISPLAY_XDISPLAY(display);
    State().hostPresent =
        XGetSelectionOwner(connection, XInternAtom(connection, selection.c_str(), False)) != 0;
}

void ClearXEmbedIcons() {
    for (ShownIcon& shown : State().shown) {
        Drop(shown);
    }
    State().shown.clear();
}

std::vector<ShownTrayIcon> InspectTrayIcons() {
    std::vector<ShownTrayIcon> result;
    for (const ShownIcon& shown : State().shown) {
        ShownTrayIcon icon;
        icon.window = shown.icon.window;
        icon.id = shown.icon.id;
        icon.resourceId = shown.icon.iconResourceId;
        icon.tip = Utf16ToUtf8(shown.icon.tip);
        icon.embedded = gtk_status_icon_is_embedded(shown.status);
        GdkRectangle area{};
        if (icon.embedded && gtk_status_icon_get_geometry(shown.status, nullptr, &area, nullptr)) {
            icon.screen = {area.x, area.y, area.x + area.width, area.y + area.height};
        }
        GdkPixbuf* picture = gtk_status_icon_get_pixbuf(shown.status);
        if (picture != nullptr) {
            GdkPixbuf* rgba = gdk_pixbuf_add_alpha(picture, FALSE, 0, 0, 0);
            icon.width = gdk_pixbuf_get_width(rgba);
            icon.height = gdk_pixbuf_get_height(rgba);
            int stride = gdk_pixbuf_get_rowstride(rgba);
            const guchar* pixels = gdk_pixbuf_read_pixels(rgba);
            for (int y = 0; y < icon.height; ++y) {
                const guchar* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
                icon.rgba.insert(icon.rgba.end(), row,
                                 row + static_cast<std::ptrdiff_t>(icon.width) * 4);
            }
            g_object_unref(rgba);
        }
        result.push_back(std::move(icon));
    }
    return result;
}

} // namespace platform::gtk_front_end
