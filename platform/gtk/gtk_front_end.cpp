#include "platform/gtk/gtk_front_end.h"
#include "platform/gtk/gtk_inspect.h"
#include "platform/windowing/menus/menus.h"

#include "platform/core/user_notice.h"
#include "platform/gtk/desktop_notification.h"
#include "platform/gtk/display_connection.h"
#include "platform/gtk/glib_wait_hook.h"
#include "platform/gtk/key_forwarding.h"
#include "platform/gtk/popup_mirror.h"
#include "platform/gtk/tray_mirror.h"
#include "platform/gtk/window_mirror.h"
#include "platform/loop/wait_hook.h"
#include "platform/windowing/orderly_end.h"

#include <cstdio>
#include <cstdlib>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <string_view>

namespace platform {
namespace {

struct FrontEnd {
    bool gtkReady = false;
    bool running = false;
    bool displayLost = false;
    GtkCssProvider* style = nullptr;
    GtkCssProvider* marks = nullptr; // kAdwaitaMarks, while that theme is in use
};

FrontEnd& State() {
    static FrontEnd state;
    return state;
}

// The controls are laid out in the device's pixels, which are smaller than a
// desktop theme's padded widgets: the theme's minimum sizes and padding give way,
// and a condensed font fits the captions into the rectangles the dialog
// template gives them.
constexpr char kControlStyle[] = R"css(
.swipetype-control {
    min-height: 0;
    min-width: 0;
    padding-top: 0;
    padding-bottom: 0;
}
entry.swipetype-control { padding-left: 2px; padding-right: 2px; }
button.swipetype-control { padding-left: 2px; padding-right: 2px; }
checkbutton.swipetype-control, radiobutton.swipetype-control { padding: 0; }
checkbutton.swipetype-control label, radiobutton.swipetype-control label {
    margin: 0;
    padding: 0;
}
checkbutton.swipetype-control check, radiobutton.swipetype-control radio {
    min-width: 11px;
    min-height: 11px;
    margin: 0 2px 0 0;
    padding: 0;
}
)css";

// GTK's default theme (Adwaita) draws the marks of check boxes, radio buttons and
// checked menu items from SVG pictures, with a pre-rendered PNG of each beside
// them for where SVG cannot be read. Reading SVG maps librsvg with libxml2 and
// ICU, some 9 MiB resident, for these few pictures alone: under that theme the
// program asks for the PNGs, which are the same marks.
constexpr char kAdwaitaMarks[] = R"css(
check:checked {
    -gtk-icon-source: -gtk-recolor(url("resource:///org/gtk/libgtk/theme/Adwaita/assets/check-symbolic.symbolic.png"));
}
check:indeterminate, radio:indeterminate {
    -gtk-icon-source: -gtk-recolor(url("resource:///org/gtk/libgtk/theme/Adwaita/assets/dash-symbolic.symbolic.png"));
}
radio:checked {
    -gtk-icon-source: -gtk-recolor(url("resource:///org/gtk/libgtk/theme/Adwaita/assets/bullet-symbolic.symbolic.png"));
}
)css";

void OnStyleError(GtkCssProvider*, GtkCssSection* section, GError* error, gpointer) {
    std::fprintf(stderr, "gtk front end: the controls' style, line %u: %s\n",
                 gtk_css_section_get_start_line(section) + 1, error->message);
}

GtkCssProvider* LoadStyle(const char* css, const char* what) {
    GtkCssProvider* provider = gtk_css_provider_new();
    g_signal_connect(provider, "parsing-error", G_CALLBACK(OnStyleError), nullptr);
    GError* error = nullptr;
    if (!gtk_css_provider_load_from_data(provider, css, -1, &error)) {
        std::fprintf(stderr, "gtk front end: %s does not load: %s\n", what,
                     error != nullptr ? error->message : "unknown error");
        g_clear_error(&error);
    }
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                              GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    return provider;
}

// The PNG marks follow the theme: in place under Adwaita, gone under any other.
void FollowTheme(GObject* settings, GParamSpec*, gpointer data) {
    FrontEnd& state = *static_cast<FrontEnd*>(data);
    gchar* theme = nullptr;
    g_object_get(settings, "gtk-theme-name", &theme, nullptr);
    bool adwaita = theme != nullptr && std::string_view(theme) == "Adwaita";
    g_free(theme);
    if (adwaita && state.marks == nullptr) {
        state.marks = LoadStyle(kAdwaitaMarks, "the check marks' style");
    } else if (!adwaita && state.marks != nullptr) {
        gtk_style_context_remove_provider_for_screen(gdk_screen_get_default(),
                                                     GTK_STYLE_PROVIDER(state.marks));
        g_clear_object(&state.marks);
    }
}

void InstallStyle(FrontEnd& state) {
    if (state.style != nullptr) {
        return;
    }
    GtkSettings* settings = gtk_settings_get_default();
    FollowTheme(G_OBJECT(settings), nullptr, &state);
    g_signal_connect(settings, "notify::gtk-theme-name", G_CALLBACK(FollowTheme), &state);
    state.style = LoadStyle(kControlStyle, "the controls' style");
    // Focus given to an edit box puts the caret there, as on the device; it does
    // not select the text for the next keystroke to replace.
    g_object_set(gtk_settings_get_default(), "gtk-entry-select-on-focus", FALSE, nullptr);
}

void PassToGtk(GdkEvent* event, gpointer) {
    gtk_main_do_event(event);
}

// Every event from the X server passes here on its way to GTK, so that a menu
// opened later for a click or key press knows which one it was.
void OnGdkEvent(GdkEvent* event, gpointer) {
    switch (event->type) {
    case GDK_BUTTON_PRESS:
    case GDK_2BUTTON_PRESS:
    case GDK_KEY_PRESS:
        gtk_front_end::RememberTriggerEvent(event);
        break;
    default:
        break;
    }
    PassToGtk(event, nullptr);
}

void SyncEverything() {
    gtk_front_end::WindowMirror::Instance().Sync();
    gtk_front_end::SyncTrayIcons();
}

// Before GLib prepares its sources, the display's connection is checked, then
// the widgets are brought up to date, then the connection is checked again:
// GDK flushes what the update queued while GLib prepares.
void BeforeWait() {
    gtk_front_end::CheckDisplayConnection();
    SyncEverything();
    gtk_front_end::CheckDisplayConnection();
}

// The display went away. GDK would end the process at once and lose the unsaved
// settings; instead the front end lets go of the display, GLib (whose display
// source would only spin on the closed connection, or end the process) is no
// longer served, and the program ends the orderly way from here: every request
// to the display would now fail, and GDK and GTK, somewhere below on the stack,
// would crash or exit on the next one.
void OnDisplayLost(const std::string& display) {
    FrontEnd& state = State();
    if (state.displayLost) {
        return;
    }
    state.displayLost = true;
    SetWaitHook({});
    SetPopupMenuObserver({});
    SetUserNotifier({});
    std::fprintf(stderr, "swipetype: the connection to %s is lost; ending\n", display.c_str());
    EndOrderlyHere();
}

// GDK's Wayland backend, where WAYLAND_DISPLAY names a compositor, else its X11
// backend. GDK_BACKEND, when the user sets it, still has the last word.
void ChooseBackends() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    gdk_set_allowed_backends(wayland != nullptr && *wayland != '\0' ? "wayland,x11" : "x11");
}

} // namespace

bool StartGtkFrontEnd(std::string& error) {
    FrontEnd& state = State();
    if (state.running) {
        return true;
    }
    if (!state.gtkReady) {
        ChooseBackends();
        // GDK looks for the X server's GL visuals as it starts, for GL drawing
        // areas that this program does not have: with Mesa that maps the GL
        // driver and LLVM, some 50 MiB resident. GDK_GL=disable, which GDK reads
        // once while it starts, leaves GL alone; a GDK_GL of the user's is kept.
        bool glLeftAlone = std::getenv("GDK_GL") == nullptr;
        if (glLeftAlone) {
            setenv("GDK_GL", "disable", 0);
        }
        bool started = gtk_init_check(nullptr, nullptr);
        if (glLeftAlone) {
            unsetenv("GDK_GL");
        }
        if (!started) {
            error = "no display to show the windows on: GTK opens no Wayland compositor at "
                    "WAYLAND_DISPLAY and no X server at DISPLAY";
            return false;
        }
        state.gtkReady = true;
        // GDK fetches the keyboard map the first time a key needs it, and ends
        // the process with an error if the server is gone by then; fetched now,
        // a display lost later leaves nothing of GDK's to ask the server for.
        gdk_keymap_get_num_lock_state(gdk_keymap_get_for_display(gdk_display_get_default()));
        gtk_front_end::WatchDisplayConnection(OnDisplayLost);
    }
    InstallStyle(state);
    std::string display;
    gtk_front_end::StartTrayMirror(gtk_front_end::DefaultDisplayKind(display) ==
                                   gtk_front_end::DisplayKind::X11);
    HWND keys = gtk_front_end::StartKeyForwarding();
    gtk_front_end::WindowMirror::Instance().SetHiddenWindow(keys);
    SetPopupMenuObserver(gtk_front_end::ShowPopupMenu);
    gdk_event_handler_set(OnGdkEvent, nullptr, nullptr);
    gtk_front_end::InstallGlibWaitHook(BeforeWait, [](const std::vector<pollfd>& polled) {
        gtk_front_end::CheckDisplayConnection(polled);
    });
    state.running = true;
    SetUserNotifier(gtk_front_end::ShowDesktopNotification);
    SyncEverything();
    PopupMenuView open;
    if (OpenPopupMenu(&open)) {
        gtk_front_end::ShowPopupMenu(&open);
    }
    return true;
}

void StopGtkFrontEnd() {
    FrontEnd& state = State();
    if (!state.running) {
        return;
    }
    state.running = false;
    gtk_front_end::RemoveGlibWaitHook();
    SetPopupMenuObserver({});
    SetUserNotifier({});
    // The tray's StatusNotifierItem lives on the session bus: it is withdrawn
    // even when the display is gone.
    gtk_front_end::ClearTrayIcons(state.displayLost);
    if (state.displayLost) {
        return; // nothing of GTK's may touch the closed connection
    }
    gtk_front_end::ClosePopupMenu();
    gdk_event_handler_set(PassToGtk, nullptr, nullptr);
    gtk_front_end::RememberTriggerEvent(nullptr);
    gtk_front_end::WindowMirror::Instance().Clear();
    gtk_front_end::StopKeyForwarding();
    gtk_front_end::WindowMirror::Instance().SetHiddenWindow(nullptr);
    // Unmapping reaches the server now, not whenever the program next waits.
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    gdk_display_flush(gdk_display_get_default());
}

namespace gtk_front_end {

namespace {

// GTK's type tests expand to several branches each; one function holds them.
bool IsA(GtkWidget* widget, GType type) {
    return G_TYPE_CHECK_INSTANCE_TYPE(widget, type);
}

// What a control shows as text: a window's title, an entry's or a label's text,
// a button's caption.
std::string ShownText(GtkWidget* control) {
    if (IsA(control, GTK_TYPE_WINDOW)) {
        const char* title = gtk_window_get_title(GTK_WINDOW(control));
        return title != nullptr ? title : "";
    }
    if (IsA(control, GTK_TYPE_ENTRY)) {
        return gtk_entry_get_text(GTK_ENTRY(control));
    }
    if (IsA(control, GTK_TYPE_LABEL)) {
        return gtk_label_get_text(GTK_LABEL(control));
    }
    if (IsA(control, GTK_TYPE_BUTTON)) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(control));
        return child != nullptr && IsA(child, GTK_TYPE_LABEL) ? gtk_label_get_text(GTK_LABEL(child))
                                                              : "";
    }
    return "";
}

// Where the measured widget is on the X screen, once it is realized; for a
// top-level window also its X window.
void MeasureOnScreen(const Mirror& mirror, GtkWidget* measured, const GtkAllocation& allocation,
                     ShownWidget& shown) {
    GtkWidget* top = gtk_widget_get_toplevel(mirror.outer);
    GdkWindow* topWindow = gtk_widget_get_window(top);
    if (topWindow == nullptr || !gtk_widget_get_realized(measured)) {
        return;
    }
    int originX = 0;
    int originY = 0;
    gdk_window_get_origin(topWindow, &originX, &originY);
    int x = 0;
    int y = 0;
    gtk_widget_translate_coordinates(measured, top, 0, 0, &x, &y);
    shown.screen = {originX + x, originY + y, originX + x + allocation.width,
                    originY + y + allocation.height};
    if (mirror.kind == WidgetKind::TopLevel && GDK_IS_X11_WINDOW(topWindow)) {
        shown.xWindow = gdk_x11_window_get_xid(topWindow);
    }
}

// Where a control sits in its parent's client area.
void MeasureInParent(const Mirror& mirror, const GtkAllocation& allocation, ShownWidget& shown) {
    GtkWidget* parent = gtk_widget_get_parent(mirror.outer);
    if (parent == nullptr || !GTK_IS_FIXED(parent)) {
        return;
    }
    int x = 0;
    int y = 0;
    gtk_widget_translate_coordinates(mirror.outer, parent, 0, 0, &x, &y);
    shown.inParent = {x, y, x + allocation.width, y + allocation.height};
}

} // namespace

bool InspectWidget(HWND window, ShownWidget& shown) {
    const Mirror* mirror = WindowMirror::Instance().Find(window);
    if (mirror == nullptr || mirror->outer == nullptr) {
        return false;
    }
    shown = ShownWidget{};
    shown.kind = mirror->kind;
    shown.shown = gtk_widget_get_mapped(mirror->outer);
    shown.sensitive = gtk_widget_is_sensitive(mirror->outer);
    GtkWidget* control = mirror->control != nullptr ? mirror->control : mirror->outer;
    if (GTK_IS_TOGGLE_BUTTON(control)) {
        shown.active = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(control));
    }
    shown.hasFocus = gtk_widget_is_focus(control);
    shown.text = ShownText(control);
    // For a top-level window, its client area; for others, the widget itself.
    GtkWidget* measured = mirror->kind == WidgetKind::TopLevel ? mirror->fixed : mirror->outer;
    GtkAllocation allocation{};
    gtk_widget_get_allocation(measured, &allocation);
    MeasureOnScreen(*mirror, measured, allocation, shown);
    MeasureInParent(*mirror, allocation, shown);
    return true;
}

} // namespace gtk_front_end
} // namespace platform
