// The main window's private messages.
#pragma once

#include "platform/core/types.h"

// Posted by the main window to itself while it is created: create the options
// dialog.
constexpr UINT UM_SHOW_OPTIONS = 1794;
// The tray icon's callback: wParam the icon id, lParam the mouse message.
constexpr UINT UM_TRAY_NOTIFY = 1801;
// A command chosen in the tray's popup menu.
constexpr UINT UM_POPUP_COMMAND = 1802;
