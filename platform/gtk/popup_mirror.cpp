#include "platform/gtk/popup_mirror.h"
#include "platform/gtk/gtk_inspect.h"
#include "platform/windowing/messages.h"

#include "platform/gtk/popup_window.h"
#include "platform/gtk/window_mirror.h"

#include <algorithm>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <string>
#include <vector>

namespace platform::gtk_front_end {
namespace {

struct PopupState {
    GtkWidget* menu = nullptr;
    unsigned generation = 0; // of the open menu, so a late idle cannot touch the next one
    bool chosen = false;
    std::vector<std::string> items;
    std::vector<GtkWidget*> itemWidgets;
    GdkEvent* trigger = nullptr; // a copy, owned
};

PopupState& State() {
    static PopupState state;
    return state;
}

void OnItemActivate(GtkMenuItem*, gpointer data) {
    State().chosen = true;
    ChoosePopupMenuItem(static_cast<UINT>(GPOINTER_TO_UINT(data)));
}

// GTK deactivates the menu before it activates the chosen item, so whether the
// menu was dismissed is decided once that has run.
gboolean DismissIfUndecided(gpointer data) {
    PopupState& state = State();
    if (state.menu != nullptr && state.generation == GPOINTER_TO_UINT(data) && !state.chosen) {
        ChoosePopupMenuItem(0);
    }
    return G_SOURCE_REMOVE;
}

void OnMenuDeactivate(GtkMenuShell*, gpointer data) {
    g_idle_add(DismissIfUndecided, data);
}

GtkWidget* BuildMenu(const std::vector<MenuItemView>& items, std::vector<std::string>* texts,
                     std::vector<GtkWidget*>* widgets) {
    GtkWidget* menu = gtk_menu_new();
    for (const MenuItemView& item : items) {
        GtkWidget* widget = nullptr;
        if ((item.flags & MF_SEPARATOR) != 0) {
            widget = gtk_separator_menu_item_new();
        } else if ((item.flags & MF_CHECKED) != 0) {
            widget = gtk_check_menu_item_new_with_mnemonic(MnemonicText(item.text).c_str());
            gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(widget), TRUE);
        } else {
            widget = gtk_menu_item_new_with_mnemonic(MnemonicText(item.text).c_str());
        }
        if ((item.flags & MF_POPUP) != 0) {
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget),
                                      BuildMenu(item.submenu, nullptr, nullptr));
        } else if ((item.flags & MF_SEPARATOR) == 0) {
            g_signal_connect(widget, "activate", G_CALLBACK(OnItemActivate),
                             GUINT_TO_POINTER(item.command));
            if (texts != nullptr) {
                texts->push_back(MnemonicText(item.text));
                widgets->push_back(widget);
            }
        }
        gtk_widget_set_sensitive(widget, (item.flags & (MF_GRAYED | MF_DISABLED)) == 0);
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), widget);
    }
    gtk_widget_show_all(menu);
    return menu;
}

// The corner or edge of the menu that sits at the point asked for.
GdkGravity MenuAnchor(UINT flags) {
    int column = (flags & TPM_RIGHTALIGN) != 0 ? 2 : (flags & TPM_CENTERALIGN) != 0 ? 1 : 0;
    int row = (flags & TPM_BOTTOMALIGN) != 0 ? 2 : (flags & TPM_VCENTERALIGN) != 0 ? 1 : 0;
    static const GdkGravity anchors[3][3] = {
        {GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH, GDK_GRAVITY_NORTH_EAST},
        {GDK_GRAVITY_WEST, GDK_GRAVITY_CENTER, GDK_GRAVITY_EAST},
        {GDK_GRAVITY_SOUTH_WEST, GDK_GRAVITY_SOUTH, GDK_GRAVITY_SOUTH_EAST}};
    return anchors[row][column];
}

// Where the menu hangs. An X menu is placed at the asked point of the screen,
// whose top-left corner is the device's. A Wayland compositor places no surface
// at a point of the screen, only beside a surface of the program's own: the
// menu hangs from the owner's window, at the asked point taken relative to it
// (kept inside it). With the owner hidden there is none (popup_window.h).
GdkWindow* AnchorFor(const PopupMenuView& view, GdkRectangle& point) {
    point = {view.x, view.y, 1, 1};
    GdkWindow* root = gdk_get_default_root_window();
    if (GDK_IS_X11_WINDOW(root)) {
        return root;
    }
    const Mirror* owner = WindowMirror::Instance().Find(view.owner);
    if (owner == nullptr || owner->kind != WidgetKind::TopLevel ||
        !gtk_widget_get_mapped(owner->outer)) {
        return nullptr;
    }
    GtkAllocation client{};
    gtk_widget_get_allocation(owner->fixed, &client);
    int x = std::clamp(view.x - static_cast<int>(owner->view.rect.left), 0,
                       std::max(0, client.width - 1));
    int y = std::clamp(view.y - static_cast<int>(owner->view.rect.top), 0,
                       std::max(0, client.height - 1));
    gtk_widget_translate_coordinates(owner->fixed, owner->outer, x, y, &point.x, &point.y);
    return gtk_widget_get_window(owner->outer);
}

} // namespace

void ClosePopupMenu() {
    PopupState& state = State();
    if (state.menu == nullptr) {
        return;
    }
    GtkWidget* menu = state.menu;
    state.menu = nullptr;
    state.items.clear();
    state.itemWidgets.clear();
    gtk_widget_destroy(menu);
}

void RememberTriggerEvent(const GdkEvent* event) {
    PopupState& state = State();
    if (state.trigger != nullptr) {
        gdk_event_free(state.trigger);
    }
    state.trigger = event != nullptr ? gdk_event_copy(event) : nullptr;
}

void ShowPopupMenu(const PopupMenuView* view) {
    ClosePopupMenu();
    if (view == nullptr) {
        return;
    }
    PopupState& state = State();
    ++state.generation;
    state.chosen = false;
    GdkRectangle point{};
    GdkWindow* anchor = AnchorFor(*view, point);
    if (anchor == nullptr) {
        state.menu = ShowPopupWindow(*view, state.items, state.itemWidgets);
        return;
    }
    state.menu = BuildMenu(view->items, &state.items, &state.itemWidgets);
    g_signal_connect(state.menu, "deactivate", G_CALLBACK(OnMenuDeactivate),
                     GUINT_TO_POINTER(state.generation));
    gtk_menu_popup_at_rect(GTK_MENU(state.menu), anchor, &point, GDK_GRAVITY_NORTH_WEST,
                           MenuAnchor(view->flags), state.trigger);
}

ShownPopupMenu InspectPopupMenu() {
    ShownPopupMenu shown;
    PopupState& state = State();
    if (state.menu == nullptr) {
        return shown;
    }
    GtkWidget* top = gtk_widget_get_toplevel(state.menu);
    GdkWindow* window = gtk_widget_get_window(top);
    shown.shown = gtk_widget_get_mapped(state.menu) && window != nullptr;
    shown.items = state.items;
    if (window != nullptr) {
        int x = 0;
        int y = 0;
        gdk_window_get_origin(window, &x, &y);
        shown.screen = {x, y, x + gdk_window_get_width(window), y + gdk_window_get_height(window)};
        shown.xWindow = GDK_IS_X11_WINDOW(window) ? gdk_x11_window_get_xid(window) : 0;
        for (GtkWidget* item : state.itemWidgets) {
            GtkAllocation allocation{};
            gtk_widget_get_allocation(item, &allocation);
            int itemX = 0;
            int itemY = 0;
            gtk_widget_translate_coordinates(item, top, 0, 0, &itemX, &itemY);
            shown.itemRects.push_back({x + itemX, y + itemY, x + itemX + allocation.width,
                                       y + itemY + allocation.height});
        }
    }
    return shown;
}

} // namespace platform::gtk_front_end
