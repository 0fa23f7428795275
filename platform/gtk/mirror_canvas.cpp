// Drawing a client area: the background, then the texts the window painted.
#include "platform/windowing/window.h"

#include "platform/gtk/mirror_helpers.h"

namespace platform::gtk_front_end::mirror_detail {
namespace {

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

} // namespace

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

} // namespace platform::gtk_front_end::mirror_detail
