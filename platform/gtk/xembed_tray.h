// Tray icons as GtkStatusIcons, the XEmbed icons that X tray hosts (desktop
// panels, trayer, tint2) show; only an X display has them. A tap reaches the
// icon's window as its callback message with the icon id in wParam and the
// mouse message in lParam: WM_LBUTTONDOWN for a press, WM_LBUTTONDBLCLK in place
// of the second press of a double click, as the device reports them.
#pragma once

#include <vector>

#include "platform/shell/shell.h"

namespace platform::gtk_front_end {

// Shows exactly `icons`: new ones added, changed ones updated, gone ones removed.
void SyncXEmbedIcons(const std::vector<TrayIcon>& icons);
void ClearXEmbedIcons();
// Whether an X tray host owns the screen's tray selection. The answer is kept
// and asked again only when an icon is taken in or let go (a host came or
// went), so that it costs no round trip to the server each time it is read.
bool XEmbedTrayHostPresent();
// Asks the server again.
void LookForXEmbedTrayHost();

} // namespace platform::gtk_front_end
