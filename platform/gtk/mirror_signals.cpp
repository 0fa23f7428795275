// Signals of the mirror's widgets: what a person does, turned into the device's
// messages. None of them changes a widget; the next sync shows the outcome.
#include "platform/windowing/dialogs.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"

#include "platform/gtk/mirror_helpers.h"

#include <gdk/gdkx.h>
#include <set>

namespace platform::gtk_front_end::mirror_detail {

void OnButtonClicked(GtkButton*, gpointer data) {
    if (WindowMirror::Instance().Syncing()) {
        return;
    }
    // Posted, so that whatever the click leads to (a modal dialog, a popup menu)
    // runs from the program's own loop rather than inside GTK's signal emission.
    PostMessageW(FromPointer(data), BM_CLICK, 0, 0);
}

void OnEntryChanged(GtkEditable* editable, gpointer data) {
    if (WindowMirror::Instance().Syncing()) {
        return;
    }
    std::u16string text = Utf8ToUtf16(gtk_entry_get_text(GTK_ENTRY(editable)));
    HWND edit = FromPointer(data);
    std::u16string current(static_cast<std::size_t>(std::max(0, GetWindowTextLengthW(edit))),
                           u'\0');
    GetWindowTextW(edit, current.data(), static_cast<int>(current.size()) + 1);
    if (text != current) {
        // At once: output composition reads the edit box at its next read.
        SetWindowTextW(edit, text.c_str());
    }
}

gboolean OnControlFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
    HWND control = FromPointer(data);
    if (!WindowMirror::Instance().Syncing() && GetFocus() != control && IsWindow(control)) {
        SetFocus(control);
    }
    return FALSE;
}

gboolean OnWindowFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
    HWND window = FromPointer(data);
    if (!WindowMirror::Instance().Syncing() && IsWindow(window) && IsWindowEnabled(window) &&
        IsWindowVisible(window) && GetActiveWindow() != window) {
        SetActiveWindow(window);
    }
    return FALSE;
}

namespace {

// How long after a window is parked a restore is not taken as the person's.
constexpr gint64 kParkSettling = 500 * G_TIME_SPAN_MILLISECOND;

// A window kept in the task list for want of a tray, brought back from there
// by the desktop (its dock, its window switcher): shown as the tray's Show
// would.
void ShowIfParked(HWND window) {
    const Mirror* mirror = WindowMirror::Instance().Find(window);
    if (mirror == nullptr || !mirror->parked || WindowMirror::Instance().Syncing() ||
        IsWindowVisible(window)) {
        return;
    }
    ShowWindow(window, SW_SHOW); // activates it too
}

} // namespace

// The window manager's close button does what the device's caption button does:
// in a caption with an OK button it is that button (IDOK); otherwise it is the
// shell's smart minimise, which minimises the program instead of ending it (the
// program then goes on in the tray; "Exit" ends it).
gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer data) {
    HWND window = FromPointer(data);
    if (!IsWindow(window)) {
        return TRUE;
    }
    if ((GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN) != 0) {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    } else {
        ShowWindow(window, SW_MINIMIZE);
    }
    return TRUE;
}

gboolean OnWindowState(GtkWidget* widget, GdkEventWindowState* event, gpointer data) {
    HWND window = FromPointer(data);
    bool iconified = (event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) != 0 &&
                     (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    // A parked window is hidden already: the window manager minimising it is
    // no news to the window.
    if (iconified && !WindowMirror::Instance().Syncing() && IsWindowVisible(window) &&
        !IsIconic(window)) {
        // WM_SIZE with SIZE_MINIMIZED reaches the window from here.
        ShowWindow(window, SW_MINIMIZE);
    }
    bool restored = (event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) != 0 &&
                    (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) == 0;
    const Mirror* mirror = WindowMirror::Instance().Find(window);
    if (restored && mirror != nullptr && mirror->parked &&
        g_get_monotonic_time() - mirror->parkedAt < kParkSettling) {
        // Brought back at once, by no person: the window manager finishing what
        // it did with the new window (openbox focusing it). Asked again.
        gtk_window_iconify(GTK_WINDOW(widget));
    } else if (restored) {
        ShowIfParked(window);
    }
    return FALSE;
}

// Under Wayland GDK hears nothing of minimising, only that the window stopped
// being active and became active again: a parked window that was seen inactive
// and then becomes active was brought back by the person. (The activation of a
// window just mapped may come in after it was parked; it is not taken as that.)
// On X11 the window manager's own state says it (OnWindowState).
void OnActiveChanged(GObject* widget, GParamSpec*, gpointer data) {
    if (GDK_IS_X11_DISPLAY(gtk_widget_get_display(GTK_WIDGET(widget)))) {
        return;
    }
    static std::set<HWND> seenInactive;
    HWND window = FromPointer(data);
    const Mirror* mirror = WindowMirror::Instance().Find(window);
    if (mirror == nullptr || !mirror->parked) {
        seenInactive.erase(window);
    } else if (!gtk_window_is_active(GTK_WINDOW(widget))) {
        seenInactive.insert(window);
    } else if (seenInactive.erase(window) > 0) {
        ShowIfParked(window);
    }
}

void OnCaptionOk(GtkButton*, gpointer data) {
    PostMessageW(FromPointer(data), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

} // namespace platform::gtk_front_end::mirror_detail
