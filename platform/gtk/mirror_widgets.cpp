// Widget creation: a GtkWindow with its client area for a top-level window, a
// bare client area for a surface, the matching GTK control for a control, each
// put where its window is.
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"

#include "platform/gtk/icon_pixbufs.h"
#include "platform/gtk/key_forwarding.h"
#include "platform/gtk/mirror_helpers.h"

namespace platform::gtk_front_end {
namespace mirror_detail {
namespace {

void AddClass(GtkWidget* widget, const char* name) {
    gtk_style_context_add_class(gtk_widget_get_style_context(widget), name);
}

} // namespace

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

HICON IconOf(HWND window) {
    return reinterpret_cast<HICON>(SendMessageW(window, STM_GETICON, 0, 0));
}

} // namespace mirror_detail

using namespace mirror_detail;

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
    g_signal_connect(window, "notify::is-active", G_CALLBACK(OnActiveChanged),
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
            GTK_RADIO_BUTTON(NoneCheckedRadioFor(mirror.groupLeader)), text.c_str());
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

} // namespace platform::gtk_front_end
