// The window system's tray icons as GtkStatusIcons, the XEmbed icons that X tray
// hosts (desktop panels, trayer, tint2) show. A tap reaches the icon's window as
// its callback message with the icon id in wParam and the mouse message in
// lParam: WM_LBUTTONDOWN for a press, WM_LBUTTONDBLCLK in place of the second
// press of a double click, as the device reports them.
#pragma once

namespace platform::gtk_front_end {

void SyncTrayIcons();
void ClearTrayIcons();

} // namespace platform::gtk_front_end
