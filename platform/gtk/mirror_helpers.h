// What the files of the window mirror share: the link between a window and the
// data pointer of a signal, rectangle arithmetic, how a window is classified,
// and the pieces that widget creation, drawing and sync each use.
#pragma once

#include "platform/core/unicode.h"
#include "platform/gtk/window_mirror.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace platform::gtk_front_end::mirror_detail {

// A signal's data pointer carries the window the widget stands for.
inline gpointer ToPointer(HWND window) {
    return static_cast<gpointer>(window);
}

inline HWND FromPointer(gpointer data) {
    return static_cast<HWND>(data);
}

inline bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline int Width(const RECT& rect) {
    return std::max(0, static_cast<int>(rect.right - rect.left));
}

inline int Height(const RECT& rect) {
    return std::max(0, static_cast<int>(rect.bottom - rect.top));
}

inline std::string Utf8(std::u16string_view text) {
    return Utf16ToUtf8(text);
}

// Classification (window_mirror.cpp).
bool IsMenuBar(const WindowView& view);
WidgetKind KindOf(const WindowView& view);

// Control widgets (mirror_widgets.cpp).
void UseControlFont(GtkWidget* widget);
void ClipLabel(GtkWidget* button);
HICON IconOf(HWND window);

// What a person does, turned into the device's messages (mirror_signals.cpp).
void OnButtonClicked(GtkButton*, gpointer data);
void OnEntryChanged(GtkEditable* editable, gpointer data);
gboolean OnControlFocusIn(GtkWidget*, GdkEvent*, gpointer data);
gboolean OnWindowFocusIn(GtkWidget*, GdkEvent*, gpointer data);
gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer data);
gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data);
void OnActiveChanged(GObject* widget, GParamSpec*, gpointer data);
void OnCaptionOk(GtkButton*, gpointer data);

// The background and the painted texts of a client area (mirror_canvas.cpp).
gboolean OnCanvasDraw(GtkWidget* canvas, cairo_t* cairo, gpointer data);

// Radio groups (mirror_radio_groups.cpp).
HWND GroupLeader(const WindowView& view);
GtkWidget* NoneCheckedRadioFor(HWND leader);
void DropNoneCheckedRadio(HWND leader);
void DropAllNoneCheckedRadios();

} // namespace platform::gtk_front_end::mirror_detail
