#include "platform/gtk/popup_window.h"
#include "platform/core/unicode.h"
#include "platform/windowing/window.h"

#include "platform/gtk/window_mirror.h"

namespace platform::gtk_front_end {
namespace {

void OnItemClicked(GtkButton*, gpointer command) {
    ChoosePopupMenuItem(GPOINTER_TO_UINT(command));
}

gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer) {
    ChoosePopupMenuItem(0);
    return TRUE; // the window goes when the menu closes
}

gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer) {
    if (event->keyval == GDK_KEY_Escape) {
        ChoosePopupMenuItem(0);
        return TRUE;
    }
    return FALSE;
}

// Leaving the window dismisses the menu, as a click beside a menu does; only
// once it has had the focus, which the compositor gives a moment after mapping.
gboolean OnFocusIn(GtkWidget* window, GdkEvent*, gpointer) {
    g_object_set_data(G_OBJECT(window), "swipetype-had-focus", GINT_TO_POINTER(1));
    return FALSE;
}

gboolean OnFocusOut(GtkWidget* window, GdkEvent*, gpointer) {
    if (g_object_get_data(G_OBJECT(window), "swipetype-had-focus") != nullptr) {
        ChoosePopupMenuItem(0);
    }
    return FALSE;
}

void AddItems(GtkWidget* column, const std::vector<MenuItemView>& items,
              std::vector<std::string>& texts, std::vector<GtkWidget*>& widgets) {
    for (const MenuItemView& item : items) {
        if ((item.flags & MF_SEPARATOR) != 0) {
            gtk_box_pack_start(GTK_BOX(column), gtk_separator_new(GTK_ORIENTATION_HORIZONTAL),
                               FALSE, FALSE, 2);
            continue;
        }
        std::string text = MnemonicText(item.text);
        GtkWidget* button = gtk_model_button_new();
        g_object_set(button, "text", text.c_str(), "role",
                     (item.flags & MF_CHECKED) != 0 ? GTK_BUTTON_ROLE_CHECK
                                                    : GTK_BUTTON_ROLE_NORMAL,
                     "active", (item.flags & MF_CHECKED) != 0, nullptr);
        gtk_widget_set_sensitive(button, (item.flags & (MF_GRAYED | MF_DISABLED)) == 0);
        gtk_box_pack_start(GTK_BOX(column), button, FALSE, FALSE, 0);
        if ((item.flags & MF_POPUP) != 0) {
            // No cascade in a plain window: a submenu's items follow its name.
            gtk_widget_set_sensitive(button, FALSE);
            AddItems(column, item.submenu, texts, widgets);
            continue;
        }
        g_signal_connect(button, "clicked", G_CALLBACK(OnItemClicked),
                         GUINT_TO_POINTER(item.command));
        texts.push_back(text);
        widgets.push_back(button);
    }
}

std::string OwnerTitle(HWND owner) {
    std::u16string title(256, u'\0');
    int length = GetWindowTextW(owner, title.data(), static_cast<int>(title.size()));
    title.resize(static_cast<std::size_t>(std::max(0, length)));
    return Utf16ToUtf8(title);
}

} // namespace

GtkWidget* ShowPopupWindow(const PopupMenuView& view, std::vector<std::string>& texts,
                           std::vector<GtkWidget*>& widgets) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), OwnerTitle(view.owner).c_str());
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_set_border_width(GTK_CONTAINER(column), 4);
    AddItems(column, view.items, texts, widgets);
    gtk_container_add(GTK_CONTAINER(window), column);
    g_signal_connect(window, "delete-event", G_CALLBACK(OnDeleteEvent), nullptr);
    g_signal_connect(window, "key-press-event", G_CALLBACK(OnKeyPress), nullptr);
    g_signal_connect(window, "focus-in-event", G_CALLBACK(OnFocusIn), nullptr);
    g_signal_connect(window, "focus-out-event", G_CALLBACK(OnFocusOut), nullptr);
    gtk_widget_show_all(window);
    gtk_window_present(GTK_WINDOW(window));
    return window;
}

} // namespace platform::gtk_front_end
