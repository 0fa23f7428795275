// The notification-area icon: its picture tells whether reading is enabled, and
// taps on it reach the main window as UM_TRAY_NOTIFY. A refresh, so that the
// picture follows Enable, is RemoveTrayIcon followed by AddTrayIcon.
#pragma once

#include "app/private_messages.h"
#include "platform/shell/shell.h"

// The one icon record, filled by AddTrayIcon and reused unchanged by
// RemoveTrayIcon.
extern NOTIFYICONDATAW TrayIconData;

constexpr UINT TrayIconId = 2;

// Adds the icon of MainWindow with picture 102 when Enable is set, else 103, and
// the tip "Swipetype". Adding while the icon is present leaves it as it was.
void AddTrayIcon();

// Removes the icon that the last addition described.
void RemoveTrayIcon();
