// Sync: the widgets brought up to date with the window system, changing only what
// differs; the keyboard focus and the tab order follow the window system's.
#include "platform/windowing/window.h"

#include "platform/core/user_notice.h"
#include "platform/gtk/icon_pixbufs.h"
#include "platform/gtk/mirror_helpers.h"
#include "platform/gtk/tray_mirror.h"
#include "platform/shell/shell.h"

#include <algorithm>
#include <set>

namespace platform::gtk_front_end {

using namespace mirror_detail;

void WindowMirror::UpdateCheck(Mirror& mirror, const WindowView& view) {
    if (mirror.kind != WidgetKind::CheckBox && mirror.kind != WidgetKind::RadioButton) {
        return;
    }
    GtkToggleButton* toggle = GTK_TOGGLE_BUTTON(mirror.control);
    bool checked = view.checkState == BST_CHECKED;
    if (mirror.kind == WidgetKind::CheckBox) {
        gtk_toggle_button_set_inconsistent(toggle, view.checkState == 2);
        if (gtk_toggle_button_get_active(toggle) != checked) {
            gtk_toggle_button_set_active(toggle, checked);
        }
        return;
    }
    if (checked && !gtk_toggle_button_get_active(toggle)) {
        gtk_toggle_button_set_active(toggle, TRUE);
    } else if (!checked && gtk_toggle_button_get_active(toggle)) {
        // Only another member can clear a radio button in GTK: the group's hidden one.
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(NoneCheckedRadioFor(mirror.groupLeader)),
                                     TRUE);
    }
}

namespace {

constexpr char kNoTrayTopic[] = "tray";

// A hidden window with a tray icon, while no tray shows it.
bool ParksForWantOfTray(HWND window) {
    if (TrayPresent()) {
        ClearUserNotice(kNoTrayTopic);
        return false;
    }
    std::vector<TrayIcon> icons = TrayIcons();
    return std::any_of(icons.begin(), icons.end(),
                       [window](const TrayIcon& icon) { return icon.window == window; });
}

// Minimised before it is mapped, the window is mapped minimised by an X window
// manager; under Wayland the compositor is asked once the surface exists. A
// window the window manager brings back at once is asked again (OnWindowState).
void Park(GtkWindow* window, const Mirror& mirror) {
    gtk_window_iconify(window);
    gtk_widget_show(mirror.outer);
    gtk_window_iconify(window);
    ReportUserNotice(kNoTrayTopic, kNoTrayNotice);
}

} // namespace

void WindowMirror::UpdateTopLevel(Mirror& mirror, const WindowView& view) {
    GtkWindow* window = GTK_WINDOW(mirror.outer);
    if (!mirror.placed || !SameRect(mirror.view.rect, view.rect)) {
        gtk_window_move(window, view.rect.left, view.rect.top);
        mirror.placed = true;
    }
    // Only a changed title is set: setting it writes the window's name property to
    // the X server, whose notification wakes the loop for the next sync, which would
    // set it again, for ever (a busy program while idle).
    std::string title = Utf8(view.text);
    const char* shownTitle = gtk_window_get_title(window);
    if (shownTitle == nullptr || title != shownTitle) {
        if (mirror.header != nullptr) {
            gtk_header_bar_set_title(GTK_HEADER_BAR(mirror.header), title.c_str());
        }
        gtk_window_set_title(window, title.c_str());
    }
    gtk_widget_set_sensitive(mirror.box, view.enabled);
    bool parked = !view.visible && ParksForWantOfTray(view.handle);
    bool shown = gtk_widget_get_visible(mirror.outer);
    if (view.visible && !shown) {
        // A window shown again goes back where the window system has it, not
        // where the window manager would place a new one.
        gtk_window_move(window, view.rect.left, view.rect.top);
        gtk_window_deiconify(window);
        gtk_widget_show(mirror.outer);
    } else if (!view.visible && shown && !parked) {
        gtk_widget_hide(mirror.outer);
    }
    if (parked && !mirror.parked) {
        mirror.parkedAt = g_get_monotonic_time();
        Park(window, mirror);
    } else if (view.visible && mirror.parked) {
        gtk_window_deiconify(window);
    }
    mirror.parked = parked;
    if (view.visible && view.minimized != mirror.view.minimized) {
        view.minimized ? gtk_window_iconify(window) : gtk_window_deiconify(window);
    }
}

namespace {

// A control's text, or its picture, where the window's changed.
void UpdateControlText(const Mirror& mirror, const WindowView& view) {
    bool textChanged = view.text != mirror.view.text;
    switch (mirror.kind) {
    case WidgetKind::PushButton:
    case WidgetKind::CheckBox:
    case WidgetKind::RadioButton:
        if (textChanged) {
            gtk_button_set_label(GTK_BUTTON(mirror.control), MnemonicText(view.text).c_str());
            ClipLabel(mirror.control);
            UseControlFont(mirror.control);
        }
        break;
    case WidgetKind::GroupBox:
        if (textChanged) {
            gtk_frame_set_label(GTK_FRAME(mirror.control), Utf8(view.text).c_str());
        }
        break;
    case WidgetKind::Label:
        if (textChanged) {
            if ((view.style & SS_NOPREFIX) != 0) {
                gtk_label_set_text(GTK_LABEL(mirror.control), Utf8(view.text).c_str());
            } else {
                gtk_label_set_text_with_mnemonic(GTK_LABEL(mirror.control),
                                                 MnemonicText(view.text).c_str());
            }
        }
        break;
    case WidgetKind::Edit: {
        std::string text = Utf8(view.text);
        if (text != gtk_entry_get_text(GTK_ENTRY(mirror.control))) {
            gtk_entry_set_text(GTK_ENTRY(mirror.control), text.c_str());
            gtk_editable_set_position(GTK_EDITABLE(mirror.control), -1);
        }
        break;
    }
    case WidgetKind::Icon:
        if (view.iconId != mirror.view.iconId) {
            GdkPixbuf* picture = IconPixbuf(IconOf(view.handle));
            gtk_image_set_from_pixbuf(GTK_IMAGE(mirror.control), picture);
        }
        break;
    default:
        break;
    }
}

// The canvas is drawn again only when what was painted on the window changed.
void RedrawIfRepainted(const Mirror& mirror, const WindowView& view) {
    if (mirror.canvas == nullptr) {
        return;
    }
    bool paintChanged = view.painted.size() != mirror.view.painted.size();
    for (std::size_t i = 0; !paintChanged && i < view.painted.size(); ++i) {
        const DrawnText& a = view.painted[i];
        const DrawnText& b = mirror.view.painted[i];
        paintChanged = a.text != b.text || a.format != b.format || !SameRect(a.rect, b.rect);
    }
    if (paintChanged) {
        gtk_widget_queue_draw(mirror.canvas);
    }
}

} // namespace

void WindowMirror::UpdateChild(Mirror& mirror, const WindowView& view) {
    bool ownVisible = IsMenuBar(view) ? view.visible : (view.style & WS_VISIBLE) != 0;
    gtk_widget_set_visible(mirror.outer, ownVisible);
    gtk_widget_set_sensitive(mirror.outer, view.enabled);
    if (IsMenuBar(view)) {
        return;
    }
    GtkWidget* container = ContainerFor(view);
    // gtk_fixed_move queues a new layout even for the same place, and a
    // layout wakes the loop for the next sync: move only what moved.
    bool moved = !mirror.placed || !SameRect(mirror.view.rect, view.rect);
    if (moved && container != nullptr && gtk_widget_get_parent(mirror.outer) == container) {
        gtk_fixed_move(GTK_FIXED(container), mirror.outer, view.rect.left, view.rect.top);
        mirror.placed = true;
    }
    gtk_widget_set_size_request(mirror.outer, Width(view.rect), Height(view.rect));
}

void WindowMirror::Update(Mirror& mirror, const WindowView& view) {
    if (mirror.kind == WidgetKind::TopLevel) {
        UpdateTopLevel(mirror, view);
    } else {
        UpdateChild(mirror, view);
    }
    UpdateControlText(mirror, view);
    UpdateCheck(mirror, view);
    RedrawIfRepainted(mirror, view);
    mirror.view = view;
}

// The client area is the window's, grown to take in every child.
void WindowMirror::SizeClientArea(HWND window) {
    Mirror& mirror = mirrors_.at(window);
    RECT client{};
    GetClientRect(window, &client);
    int width = Width(client);
    int height = Height(client);
    gtk_widget_set_size_request(mirror.canvas, width, height);
    if (IsMenuBar(mirror.view)) {
        return;
    }
    for (HWND child : mirror.view.children) {
        if (const Mirror* shown = Find(child); shown != nullptr) {
            width = std::max(width, static_cast<int>(shown->view.rect.right));
            height = std::max(height, static_cast<int>(shown->view.rect.bottom));
        }
    }
    if (mirror.kind == WidgetKind::TopLevel) {
        gtk_widget_set_size_request(mirror.fixed, width, height);
    } else {
        gtk_widget_set_size_request(mirror.outer, std::max(width, Width(mirror.view.rect)),
                                    std::max(height, Height(mirror.view.rect)));
    }
}

// Tab visits the children that are tab stops in the window system's order (the
// template's), not GTK's left-to-right one: TAB sits left of ENTER in the options
// dialog but comes after it. A child dialog is a stop of its own, entered in turn.
void WindowMirror::SetFocusChain(Mirror& mirror) {
    std::vector<GtkWidget*> chain;
    for (HWND child : mirror.view.children) {
        const Mirror* shown = Find(child);
        if (shown == nullptr || shown->outer == nullptr) {
            continue;
        }
        if (shown->kind == WidgetKind::Surface || (shown->view.style & WS_TABSTOP) != 0) {
            chain.push_back(shown->outer);
        }
    }
    if (chain == mirror.focusChain) {
        return;
    }
    mirror.focusChain = chain;
    GList* list = nullptr;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        list = g_list_prepend(list, *it);
    }
    gtk_container_set_focus_chain(GTK_CONTAINER(mirror.fixed), list);
    g_list_free(list);
}

void WindowMirror::Remove(HWND window, bool parentGoesToo) {
    auto found = mirrors_.find(window);
    if (found == mirrors_.end()) {
        return;
    }
    Mirror& mirror = found->second;
    if (!parentGoesToo && mirror.outer != nullptr) {
        gtk_widget_destroy(mirror.ownWindow != nullptr ? mirror.ownWindow : mirror.outer);
    }
    bool topLevel = mirror.kind == WidgetKind::TopLevel;
    DropNoneCheckedRadio(window);
    mirrors_.erase(found);
    if (!topLevel) {
        return;
    }
    // A menu bar shown in this window's column went with it; if the bar itself
    // lives on, the next sync shows it on its own.
    std::vector<HWND> bars;
    for (const auto& [handle, other] : mirrors_) {
        if (IsMenuBar(other.view) && other.view.owner == window && other.ownWindow == nullptr) {
            bars.push_back(handle);
        }
    }
    for (HWND bar : bars) {
        Remove(bar, true);
    }
}

void WindowMirror::UpdateFocus(const std::vector<WindowView>& views) {
    HWND focus = nullptr;
    HWND active = nullptr;
    for (const WindowView& view : views) {
        if (view.focused) {
            focus = view.handle;
        }
        if (view.active) {
            active = view.handle;
        }
    }
    if (active != lastActive_) {
        lastActive_ = active;
        const Mirror* mirror = Find(active);
        if (mirror != nullptr && mirror->kind == WidgetKind::TopLevel && mirror->view.visible) {
            gtk_window_present(GTK_WINDOW(mirror->outer));
        }
    }
    if (focus != lastFocus_) {
        lastFocus_ = focus;
        const Mirror* mirror = Find(focus);
        if (mirror == nullptr) {
            return;
        }
        GtkWidget* top = gtk_widget_get_toplevel(mirror->outer);
        if (mirror->control != nullptr && gtk_widget_get_can_focus(mirror->control)) {
            gtk_widget_grab_focus(mirror->control);
        } else if (GTK_IS_WINDOW(top)) {
            gtk_window_set_focus(GTK_WINDOW(top), nullptr);
        }
    }
}

void WindowMirror::Sync() {
    syncing_ = true;
    std::vector<WindowView> views = ViewWindows();
    std::erase_if(views, [this](const WindowView& view) {
        return view.handle == hidden_ || view.owner == hidden_;
    });
    std::set<HWND> present;
    for (const WindowView& view : views) {
        present.insert(view.handle);
    }
    std::vector<HWND> gone;
    for (const auto& [handle, mirror] : mirrors_) {
        if (present.count(handle) == 0) {
            gone.push_back(handle);
        }
    }
    for (HWND handle : gone) {
        const Mirror* mirror = Find(handle);
        bool parentGoes = mirror != nullptr && mirror->view.parent != nullptr &&
                          std::find(gone.begin(), gone.end(), mirror->view.parent) != gone.end();
        Remove(handle, parentGoes);
    }
    for (const WindowView& view : views) {
        auto found = mirrors_.find(view.handle);
        if (found != mirrors_.end() && found->second.kind != KindOf(view)) {
            Remove(view.handle, false);
            found = mirrors_.end();
        }
        if (found == mirrors_.end()) {
            if (view.parent != nullptr && ContainerFor(view) == nullptr) {
                continue; // inside a control: nothing to show it in
            }
            Create(view);
            found = mirrors_.find(view.handle);
            found->second.view = WindowView{};
            found->second.view.handle = view.handle;
        }
        Update(found->second, view);
    }
    for (auto& [handle, mirror] : mirrors_) {
        if (mirror.canvas != nullptr) {
            SizeClientArea(handle);
            SetFocusChain(mirror);
        }
    }
    UpdateFocus(views);
    syncing_ = false;
}

void WindowMirror::Clear() {
    syncing_ = true;
    std::vector<HWND> topMost;
    for (auto& [handle, mirror] : mirrors_) {
        if (mirror.kind == WidgetKind::TopLevel || mirror.ownWindow != nullptr) {
            topMost.push_back(handle);
        }
    }
    for (HWND handle : topMost) {
        Remove(handle, false);
    }
    mirrors_.clear();
    DropAllNoneCheckedRadios();
    lastFocus_ = nullptr;
    lastActive_ = nullptr;
    syncing_ = false;
}

} // namespace platform::gtk_front_end
