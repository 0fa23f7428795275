// The window system's windows as GTK widgets. Sync() compares what the window
// system holds now (platform/windowing/window_view.h) with what the widgets show and
// changes only what differs: widgets are made for new windows and dropped with
// destroyed ones; texts, check marks, visibility, enabled state, positions,
// painting and the keyboard focus follow the windows. Widgets never keep state
// of their own that the window system does not have: a click is posted to the
// control as BM_CLICK, typing sets the edit control's text at once, and the next
// Sync() shows what the window system made of it.
//
// Placement: a top-level window's client area is a GtkFixed in which each child
// sits at its rectangle in pixels (for a dialog, the template's dialog units
// scaled by the dialog font's base units, as the window system computed them).
// Where children reach past the client area (the options dialog is taller than
// the main window's client area on the device's screen), the GTK window grows to
// show them whole, since a person on the desktop cannot scroll a dialog that the
// device would have clipped. Top-level windows are placed at their screen
// positions, the device's screen being the X screen's top-left corner; a shell
// menu bar is shown along the bottom of its owner's window.
//
// A window with a tray icon hides in the tray. Where no tray exists (no
// StatusNotifier watcher and no XEmbed tray host: stock GNOME, a bare KWin,
// cage), hiding it would leave nothing on screen to bring it back by; it is
// kept mapped and minimised instead, on the desktop's task list, dock and
// window switcher, and said once as a notice. Brought back from there, it is
// shown in the window system as the tray's Show would. A tray that appears
// later takes it over.
#pragma once

// The window system's headers come before GLib's, whose TRUE and FALSE are
// macros that would otherwise rewrite the platform's constants of those names.
#include "platform/gtk/gtk_inspect.h"
#include "platform/windowing/window_view.h"

#include <gtk/gtk.h>
#include <map>

namespace platform::gtk_front_end {

struct Mirror {
    WidgetKind kind = WidgetKind::Unknown;
    GtkWidget* outer = nullptr;         // the GtkWindow, or the widget placed in the parent
    GtkWidget* box = nullptr;           // a top-level window's column: client area, menu bar
    GtkWidget* fixed = nullptr;         // where children are placed (top-level, surface)
    GtkWidget* canvas = nullptr;        // draws the background and the painted texts
    GtkWidget* control = nullptr;       // the control's own widget (for signals and focus)
    GtkWidget* header = nullptr;        // a captioned top-level window's header bar
    HWND groupLeader = nullptr;         // of a radio button
    WindowView view;                    // as last shown
    std::vector<GtkWidget*> focusChain; // of a client area: its tab stops in tab order
    bool placed = false;                // a top-level window has been moved to its position
    GtkWidget* ownWindow = nullptr;     // of a menu bar shown without its owner
    bool parked = false;                // hidden, but minimised in the task list for want of a tray
    gint64 parkedAt = 0;                // when, by g_get_monotonic_time()
};

class WindowMirror {
  public:
    static WindowMirror& Instance();

    // Brings the widgets up to date with the window system.
    void Sync();
    // Drops every widget (the front end stops).
    void Clear();
    // A window the front end keeps for itself and does not show.
    void SetHiddenWindow(HWND window) { hidden_ = window; }

    const Mirror* Find(HWND window) const;
    // The window whose widget is `widget` (or contains it), or null.
    HWND WindowOfWidget(GtkWidget* widget) const;
    bool Syncing() const { return syncing_; }

  private:
    WindowMirror() = default;
    void Create(const WindowView& view);
    void CreateTopLevel(Mirror& mirror, const WindowView& view);
    void CreateControl(Mirror& mirror, const WindowView& view);
    void Place(Mirror& mirror, const WindowView& view);
    void Update(Mirror& mirror, const WindowView& view);
    void UpdateTopLevel(Mirror& mirror, const WindowView& view);
    void UpdateChild(Mirror& mirror, const WindowView& view);
    void UpdateCheck(Mirror& mirror, const WindowView& view);
    void UpdateFocus(const std::vector<WindowView>& views);
    void Remove(HWND window, bool parentGoesToo);
    void SizeClientArea(HWND window);
    void SetFocusChain(Mirror& mirror);
    GtkWidget* ContainerFor(const WindowView& view);

    std::map<HWND, Mirror> mirrors_;
    HWND hidden_ = nullptr;
    HWND lastFocus_ = nullptr;
    HWND lastActive_ = nullptr;
    bool syncing_ = false;
};

// Mnemonics: the device marks an access key with '&' ("&&" for an ampersand);
// GTK with '_' ("__" for an underscore).
std::string MnemonicText(std::u16string_view text);

} // namespace platform::gtk_front_end
