#include "platform/core/unicode.h"
#include "platform/shell/menu_bar.h"
#include "platform/windowing/dialogs.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"

#include "platform/gtk/icon_pixbufs.h"
#include "platform/gtk/key_forwarding.h"
#include "platform/gtk/window_mirror.h"

#include <algorithm>
#include <set>

namespace platform::gtk_front_end {
namespace {

gpointer ToPointer(HWND window) {
    return static_cast<gpointer>(window);
}

HWND FromPointer(gpointer data) {
    return static_cast<HWND>(data);
}

std::u16string Lower(std::u16string_view text) {
    std::u16string lower(text);
    for (char16_t& c : lower) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return lower;
}

bool IsMenuBar(const WindowView& view) {
    return view.parent == nullptr && Lower(view.className) == Lower(kMenuBarClassName);
}

WidgetKind KindOf(const WindowView& view) {
    std::u16string className = Lower(view.className);
    if (view.parent == nullptr) {
        return IsMenuBar(view) ? WidgetKind::Surface : WidgetKind::TopLevel;
    }
    if (className == u"button") {
        switch (view.style & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
            return WidgetKind::CheckBox;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return WidgetKind::RadioButton;
        case BS_GROUPBOX:
            return WidgetKind::GroupBox;
        default:
            return WidgetKind::PushButton;
        }
    }
    if (className == u"edit") {
        return WidgetKind::Edit;
    }
    if (className == u"static") {
        return (view.style & SS_TYPEMASK) == SS_ICON ? WidgetKind::Icon : WidgetKind::Label;
    }
    return WidgetKind::Surface;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

int Width(const RECT& rect) {
    return std::max(0, static_cast<int>(rect.right - rect.left));
}

int Height(const RECT& rect) {
    return std::max(0, static_cast<int>(rect.bottom - rect.top));
}

std::string Utf8(std::u16string_view text) {
    return Utf16ToUtf8(text);
}

// ---- Signals: what a person does, turned into the device's messages ----------

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

gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
    HWND window = FromPointer(data);
    bool iconified = (event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) != 0 &&
                     (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    if (iconified && !WindowMirror::Instance().Syncing() && IsWindow(window) && !IsIconic(window)) {
        // WM_SIZE with SIZE_MINIMIZED reaches the window from here.
        ShowWindow(window, SW_MINIMIZE);
    }
    return FALSE;
}

void OnCaptionOk(GtkButton*, gpointer data) {
    PostMessageW(FromPointer(data), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// ---- Drawing the background and the painted texts ------------------------------

void DrawText(cairo_t* cairo, GtkWidget* widget, const DrawnText& drawn) {
    PangoLayout* layout = gtk_widget_create_pango_layout(widget, Utf8(drawn.text).c_str());
    int width = Width(drawn.rect);
    int height = Height(drawn.rect);
    pango_layout_set_width(layout, width * PANGO_SCALE);
    if ((drawn.format & DT_WORDBREAK) != 0 && (drawn.format & DT_SINGLELINE) == 0) {
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
    } else {
        pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
    }
    pango_layout_set_alignment(layout, (drawn.format & DT_CENTER) != 0  ? PANGO_ALIGN_CENTER
                                       : (drawn.format & DT_RIGHT) != 0 ? PANGO_ALIGN_RIGHT
                                                                        : PANGO_ALIGN_LEFT);
    int textWidth = 0;
    int textHeight = 0;
    pango_layout_get_pixel_size(layout, &textWidth, &textHeight);
    int top = static_cast<int>(drawn.rect.top);
    if ((drawn.format & DT_SINGLELINE) != 0) {
        if ((drawn.format & DT_VCENTER) != 0) {
            top += (height - textHeight) / 2;
        } else if ((drawn.format & DT_BOTTOM) != 0) {
            top += height - textHeight;
        }
    }
    cairo_save(cairo);
    if ((drawn.format & DT_NOCLIP) == 0) {
        cairo_rectangle(cairo, drawn.rect.left, drawn.rect.top, width, height);
        cairo_clip(cairo);
    }
    cairo_set_source_rgb(cairo, 0, 0, 0);
    cairo_move_to(cairo, drawn.rect.left, top);
    pango_cairo_show_layout(cairo, layout);
    cairo_restore(cairo);
    g_object_unref(layout);
}

gboolean OnCanvasDraw(GtkWidget* canvas, cairo_t* cairo, gpointer data) {
    const Mirror* mirror = WindowMirror::Instance().Find(FromPointer(data));
    if (mirror == nullptr) {
        return FALSE;
    }
    int width = gtk_widget_get_allocated_width(canvas);
    int height = gtk_widget_get_allocated_height(canvas);
    if (mirror->view.isDialog || IsMenuBar(mirror->view)) {
        // Dialogs and the menu bar in the desktop theme's colours.
        GtkStyleContext* style = gtk_widget_get_style_context(gtk_widget_get_toplevel(canvas));
        gtk_render_background(style, cairo, 0, 0, width, height);
    } else {
        cairo_set_source_rgb(cairo, 1, 1, 1);
        cairo_paint(cairo);
    }
    for (const DrawnText& drawn : mirror->view.painted) {
        DrawText(cairo, canvas, drawn);
    }
    return FALSE;
}

void AddClass(GtkWidget* widget, const char* name) {
    gtk_style_context_add_class(gtk_widget_get_style_context(widget), name);
}

// The device's dialog font is narrower than a desktop's: a condensed face fits
// the captions into the rectangles the template gives them.
void UseControlFont(GtkWidget* widget) {
    static PangoFontDescription* font =
        pango_font_description_from_string("DejaVu Sans Condensed 7.5");
    gtk_widget_override_font(widget, font);
    if (GTK_IS_BIN(widget) && gtk_bin_get_child(GTK_BIN(widget)) != nullptr) {
        gtk_widget_override_font(gtk_bin_get_child(GTK_BIN(widget)), font);
    }
}

// A control's text must not widen it past its rectangle: the device clips it.
void ClipLabel(GtkWidget* button) {
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(button));
    if (child != nullptr && GTK_IS_LABEL(child)) {
        gtk_label_set_ellipsize(GTK_LABEL(child), PANGO_ELLIPSIZE_END);
    }
}

// The sibling that starts the group `view` belongs to: the nearest one at or
// before it with WS_GROUP, else the first sibling (as the window system groups
// auto radio buttons).
HWND GroupLeader(const WindowView& view) {
    WindowView parent;
    if (!ViewWindow(view.parent, parent)) {
        return view.handle;
    }
    HWND leader = parent.children.empty() ? view.handle : parent.children.front();
    for (HWND sibling : parent.children) {
        WindowView siblingView;
        if (ViewWindow(sibling, siblingView) && (siblingView.style & WS_GROUP) != 0) {
            leader = sibling;
        }
        if (sibling == view.handle) {
            break;
        }
    }
    return leader;
}

std::map<HWND, GtkWidget*>& Sentinels() {
    static std::map<HWND, GtkWidget*> sentinels;
    return sentinels;
}

GtkWidget* SentinelFor(HWND leader) {
    auto& sentinels = Sentinels();
    if (auto found = sentinels.find(leader); found != sentinels.end()) {
        return found->second;
    }
    GtkWidget* sentinel = gtk_radio_button_new(nullptr);
    g_object_ref_sink(sentinel);
    sentinels.emplace(leader, sentinel);
    return sentinel;
}

void DropSentinel(HWND leader) {
    auto& sentinels = Sentinels();
    if (auto found = sentinels.find(leader); found != sentinels.end()) {
        gtk_widget_destroy(found->second);
        g_object_unref(found->second);
        sentinels.erase(found);
    }
}

HICON IconOf(HWND window) {
    return reinterpret_cast<HICON>(SendMessageW(window, STM_GETICON, 0, 0));
}

} // namespace

std::string MnemonicText(std::u16string_view text) {
    std::u16string converted;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'&') {
            if (i + 1 < text.size() && text[i + 1] == u'&') {
                converted += u'&';
                ++i;
            } else {
                converted += u'_';
            }
        } else if (c == u'_') {
            converted += u"__";
        } else {
            converted += c;
        }
    }
    return Utf8(converted);
}

WindowMirror& WindowMirror::Instance() {
    static WindowMirror mirror;
    return mirror;
}

const Mirror* WindowMirror::Find(HWND window) const {
    auto found = mirrors_.find(window);
    return found == mirrors_.end() ? nullptr : &found->second;
}

HWND WindowMirror::WindowOfWidget(GtkWidget* widget) const {
    for (; widget != nullptr; widget = gtk_widget_get_parent(widget)) {
        for (const auto& [handle, mirror] : mirrors_) {
            if (mirror.outer == widget || mirror.control == widget) {
                return handle;
            }
        }
    }
    return nullptr;
}

GtkWidget* WindowMirror::ContainerFor(const WindowView& view) {
    auto parent = mirrors_.find(view.parent);
    if (parent == mirrors_.end()) {
        return nullptr;
    }
    return parent->second.fixed;
}

void WindowMirror::CreateTopLevel(Mirror& mirror, const WindowView& view) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    mirror.outer = window;
    mirror.box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    mirror.fixed = gtk_fixed_new();
    mirror.canvas = gtk_drawing_area_new();
    gtk_fixed_put(GTK_FIXED(mirror.fixed), mirror.canvas, 0, 0);
    gtk_box_pack_start(GTK_BOX(mirror.box), mirror.fixed, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window), mirror.box);
    if ((view.style & WS_CAPTION) == WS_CAPTION) {
        mirror.header = gtk_header_bar_new();
        if ((view.exStyle & WS_EX_CAPTIONOKBTN) != 0) {
            GtkWidget* ok = gtk_button_new_with_label("OK");
            g_signal_connect(ok, "clicked", G_CALLBACK(OnCaptionOk), ToPointer(view.handle));
            gtk_header_bar_pack_end(GTK_HEADER_BAR(mirror.header), ok);
        }
        gtk_window_set_titlebar(GTK_WINDOW(window), mirror.header);
        gtk_widget_show_all(mirror.header);
    }
    if (const Mirror* owner = Find(view.owner); owner != nullptr && GTK_IS_WINDOW(owner->outer)) {
        gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(owner->outer));
    }
    g_signal_connect(window, "delete-event", G_CALLBACK(OnDeleteEvent), ToPointer(view.handle));
    g_signal_connect(window, "window-state-event", G_CALLBACK(OnWindowState),
                     ToPointer(view.handle));
    g_signal_connect(window, "focus-in-event", G_CALLBACK(OnWindowFocusIn), ToPointer(view.handle));
    ForwardKeys(window);
    gtk_widget_show_all(mirror.box);
}

void WindowMirror::CreateControl(Mirror& mirror, const WindowView& view) {
    std::string text = MnemonicText(view.text);
    GtkWidget* widget = nullptr;
    switch (mirror.kind) {
    case WidgetKind::PushButton:
        widget = gtk_button_new_with_mnemonic(text.c_str());
        g_signal_connect(widget, "clicked", G_CALLBACK(OnButtonClicked), ToPointer(view.handle));
        break;
    case WidgetKind::CheckBox:
        widget = gtk_check_button_new_with_mnemonic(text.c_str());
        g_signal_connect(widget, "clicked", G_CALLBACK(OnButtonClicked), ToPointer(view.handle));
        break;
    case WidgetKind::RadioButton:
        mirror.groupLeader = GroupLeader(view);
        widget = gtk_radio_button_new_with_mnemonic_from_widget(
            GTK_RADIO_BUTTON(SentinelFor(mirror.groupLeader)), text.c_str());
        g_signal_connect(widget, "clicked", G_CALLBACK(OnButtonClicked), ToPointer(view.handle));
        break;
    case WidgetKind::GroupBox:
        widget = gtk_frame_new(Utf8(view.text).c_str());
        break;
    case WidgetKind::Edit:
        widget = gtk_entry_new();
        gtk_entry_set_width_chars(GTK_ENTRY(widget), 0);
        gtk_entry_set_has_frame(GTK_ENTRY(widget), (view.style & WS_BORDER) != 0);
        gtk_entry_set_visibility(GTK_ENTRY(widget), (view.style & ES_PASSWORD) == 0);
        gtk_editable_set_editable(GTK_EDITABLE(widget), (view.style & ES_READONLY) == 0);
        gtk_entry_set_text(GTK_ENTRY(widget), Utf8(view.text).c_str());
        g_signal_connect(widget, "changed", G_CALLBACK(OnEntryChanged), ToPointer(view.handle));
        break;
    case WidgetKind::Icon: {
        GdkPixbuf* picture = IconPixbuf(IconOf(view.handle));
        widget = picture != nullptr ? gtk_image_new_from_pixbuf(picture) : gtk_image_new();
        gtk_widget_set_halign(widget, GTK_ALIGN_START);
        gtk_widget_set_valign(widget, GTK_ALIGN_START);
        break;
    }
    default: {
        DWORD type = view.style & SS_TYPEMASK;
        widget = (view.style & SS_NOPREFIX) != 0 ? gtk_label_new(Utf8(view.text).c_str())
                                                 : gtk_label_new_with_mnemonic(text.c_str());
        gtk_label_set_xalign(GTK_LABEL(widget), type == SS_CENTER  ? 0.5f
                                                : type == SS_RIGHT ? 1.0f
                                                                   : 0.0f);
        gtk_label_set_yalign(GTK_LABEL(widget), 0.0f);
        gtk_label_set_ellipsize(GTK_LABEL(widget), PANGO_ELLIPSIZE_END);
        break;
    }
    }
    if (GTK_IS_BUTTON(widget)) {
        ClipLabel(widget);
    }
    if (gtk_widget_get_can_focus(widget)) {
        g_signal_connect(widget, "focus-in-event", G_CALLBACK(OnControlFocusIn),
                         ToPointer(view.handle));
    }
    AddClass(widget, "swipetype-control");
    UseControlFont(widget);
    mirror.outer = widget;
    mirror.control = widget;
    gtk_widget_show_all(widget);
}

void WindowMirror::Create(const WindowView& view) {
    Mirror mirror;
    mirror.kind = KindOf(view);
    if (mirror.kind == WidgetKind::TopLevel) {
        CreateTopLevel(mirror, view);
    } else if (mirror.kind == WidgetKind::Surface) {
        mirror.fixed = gtk_fixed_new();
        mirror.canvas = gtk_drawing_area_new();
        gtk_fixed_put(GTK_FIXED(mirror.fixed), mirror.canvas, 0, 0);
        mirror.outer = mirror.fixed;
        gtk_widget_show_all(mirror.fixed);
    } else {
        CreateControl(mirror, view);
    }
    if (mirror.canvas != nullptr) {
        g_signal_connect(mirror.canvas, "draw", G_CALLBACK(OnCanvasDraw), ToPointer(view.handle));
    }
    Mirror& stored = mirrors_.emplace(view.handle, mirror).first->second;
    Place(stored, view);
}

// Puts a new widget where it belongs: a child into its parent's client area, a
// menu bar along the bottom of its owner's window.
void WindowMirror::Place(Mirror& mirror, const WindowView& view) {
    if (mirror.kind == WidgetKind::TopLevel) {
        return;
    }
    gtk_widget_set_size_request(mirror.outer, Width(view.rect), Height(view.rect));
    if (IsMenuBar(view)) {
        const Mirror* owner = Find(view.owner);
        if (owner != nullptr && owner->box != nullptr) {
            gtk_box_pack_end(GTK_BOX(owner->box), mirror.outer, FALSE, FALSE, 0);
        } else {
            // A bar without a shown owner gets a window of its own.
            mirror.ownWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
            gtk_container_add(GTK_CONTAINER(mirror.ownWindow), mirror.outer);
            gtk_window_move(GTK_WINDOW(mirror.ownWindow), view.rect.left, view.rect.top);
            gtk_widget_show(mirror.ownWindow);
        }
        if (mirror.canvas != nullptr) {
            gtk_widget_set_size_request(mirror.canvas, Width(view.rect), Height(view.rect));
        }
        return;
    }
    GtkWidget* container = ContainerFor(view);
    if (container != nullptr) {
        gtk_fixed_put(GTK_FIXED(container), mirror.outer, view.rect.left, view.rect.top);
    }
}

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
        // Only another member can clear a radio button in GTK: the hidden one.
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(SentinelFor(mirror.groupLeader)), TRUE);
    }
}

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
    bool shown = gtk_widget_get_visible(mirror.outer);
    if (view.visible && !shown) {
        // A window shown again goes back where the window system has it, not
        // where the window manager would place a new one.
        gtk_window_move(window, view.rect.left, view.rect.top);
        gtk_window_deiconify(window);
        gtk_widget_show(mirror.outer);
    } else if (!view.visible && shown) {
        gtk_widget_hide(mirror.outer);
    }
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
    DropSentinel(window);
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
    for (auto& [leader, sentinel] : Sentinels()) {
        gtk_widget_destroy(sentinel);
        g_object_unref(sentinel);
    }
    Sentinels().clear();
    lastFocus_ = nullptr;
    lastActive_ = nullptr;
    syncing_ = false;
}

} // namespace platform::gtk_front_end
