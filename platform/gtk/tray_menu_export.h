// The tray icon's menu (platform/shell/tray_menu.h) exported over D-Bus as
// com.canonical.dbusmenu, for a panel that draws a StatusNotifierItem's menu
// itself. libdbusmenu serves the protocol on GIO's shared session connection;
// each command item's dbusmenu id is its command id, and choosing it hands the
// command to the icon's window as the program's own popup would.
#pragma once

#include "platform/core/types.h"

#include <libdbusmenu-glib/server.h>

namespace platform::gtk_front_end {

class TrayMenuExport {
  public:
    // Exports the menu's items at `objectPath` for the icon of `window`.
    TrayMenuExport(const char* objectPath, HWND window);
    ~TrayMenuExport();
    TrayMenuExport(const TrayMenuExport&) = delete;
    TrayMenuExport& operator=(const TrayMenuExport&) = delete;

  private:
    DbusmenuServer* server_ = nullptr;
};

} // namespace platform::gtk_front_end
