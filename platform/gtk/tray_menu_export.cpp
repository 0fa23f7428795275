#include "platform/gtk/tray_menu_export.h"
#include "platform/shell/tray_menu.h"

#include "platform/gtk/window_mirror.h"

#include <libdbusmenu-glib/dbusmenu-glib.h>
#include <set>

namespace platform::gtk_front_end {
namespace {

void OnItemActivated(DbusmenuMenuitem* item, guint /*timestamp*/, gpointer window) {
    ChooseTrayMenuItem(static_cast<HWND>(window),
                       static_cast<UINT>(dbusmenu_menuitem_get_id(item)));
}

// A command keeps its command id as its dbusmenu id where that is free (a menu
// may name a command twice); other items take libdbusmenu's next id.
DbusmenuMenuitem* NewItem(const MenuItemView& view, std::set<UINT>& usedIds) {
    bool command = (view.flags & (MF_POPUP | MF_SEPARATOR)) == 0;
    if (command && view.command > 0 && view.command <= G_MAXINT &&
        usedIds.insert(view.command).second) {
        return dbusmenu_menuitem_new_with_id(static_cast<gint>(view.command));
    }
    return dbusmenu_menuitem_new();
}

void AddItems(DbusmenuMenuitem* parent, const std::vector<MenuItemView>& items, HWND window,
              std::set<UINT>& usedIds) {
    for (const MenuItemView& view : items) {
        DbusmenuMenuitem* item = NewItem(view, usedIds);
        if ((view.flags & MF_SEPARATOR) != 0) {
            dbusmenu_menuitem_property_set(item, DBUSMENU_MENUITEM_PROP_TYPE,
                                           DBUSMENU_CLIENT_TYPES_SEPARATOR);
        } else {
            dbusmenu_menuitem_property_set(item, DBUSMENU_MENUITEM_PROP_LABEL,
                                           MnemonicText(view.text).c_str());
            dbusmenu_menuitem_property_set_bool(item, DBUSMENU_MENUITEM_PROP_ENABLED,
                                                (view.flags & (MF_GRAYED | MF_DISABLED)) == 0);
        }
        if ((view.flags & MF_CHECKED) != 0) {
            dbusmenu_menuitem_property_set(item, DBUSMENU_MENUITEM_PROP_TOGGLE_TYPE,
                                           DBUSMENU_MENUITEM_TOGGLE_CHECK);
            dbusmenu_menuitem_property_set_int(item, DBUSMENU_MENUITEM_PROP_TOGGLE_STATE,
                                               DBUSMENU_MENUITEM_TOGGLE_STATE_CHECKED);
        }
        if ((view.flags & MF_POPUP) != 0) {
            dbusmenu_menuitem_property_set(item, DBUSMENU_MENUITEM_PROP_CHILD_DISPLAY,
                                           DBUSMENU_MENUITEM_CHILD_DISPLAY_SUBMENU);
            AddItems(item, view.submenu, window, usedIds);
        } else if ((view.flags & MF_SEPARATOR) == 0) {
            g_signal_connect(item, DBUSMENU_MENUITEM_SIGNAL_ITEM_ACTIVATED,
                             G_CALLBACK(OnItemActivated), window);
        }
        dbusmenu_menuitem_child_append(parent, item);
        g_object_unref(item);
    }
}

} // namespace

TrayMenuExport::TrayMenuExport(const char* objectPath, HWND window)
    : server_(dbusmenu_server_new(objectPath)) {
    DbusmenuMenuitem* root = dbusmenu_menuitem_new();
    std::set<UINT> usedIds;
    AddItems(root, TrayMenuItems(), window, usedIds);
    dbusmenu_server_set_root(server_, root);
    g_object_unref(root);
}

TrayMenuExport::~TrayMenuExport() {
    g_object_unref(server_);
}

} // namespace platform::gtk_front_end
