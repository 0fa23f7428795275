// What the desktop front end shows, as a person at the screen would find it: for
// tests that drive the front end with real input (xdotool) and check the result
// on the X display. No GTK types here, so a test needs only this header.
#pragma once

#include <string>
#include <vector>

#include "platform/core/types.h"

namespace platform::gtk_front_end {

enum class WidgetKind {
    Unknown,
    TopLevel,
    Surface,
    PushButton,
    CheckBox,
    RadioButton,
    GroupBox,
    Edit,
    Label,
    Icon
};

struct ShownWidget {
    WidgetKind kind = WidgetKind::Unknown;
    bool shown = false;        // mapped on the display
    bool sensitive = false;    // takes input
    bool active = false;       // a check box's or radio button's check mark
    bool hasFocus = false;     // the keyboard focus of its window
    std::string text;          // label, button caption, entry text or window title
    RECT screen{};             // where it is on the X screen
    RECT inParent{};           // its allocation inside the parent window's client area
    unsigned long xWindow = 0; // of a top-level window: its X window (frame excluded)
};

// False when the window has no widget.
bool InspectWidget(HWND window, ShownWidget& shown);

struct ShownTrayIcon {
    HWND window = nullptr;
    UINT id = 0;
    UINT resourceId = 0; // of the picture shown
    std::string tip;
    bool embedded = false;           // a tray host shows it
    RECT screen{};                   // where the host shows it (when embedded)
    std::vector<unsigned char> rgba; // the picture's pixels, row by row
    int width = 0;
    int height = 0;
};
std::vector<ShownTrayIcon> InspectTrayIcons();

struct ShownPopupMenu {
    bool shown = false;
    std::vector<std::string> items; // texts of the command items, in order
    std::vector<RECT> itemRects;    // where each of them is on the screen
    RECT screen{};
    unsigned long xWindow = 0;
};
ShownPopupMenu InspectPopupMenu();

} // namespace platform::gtk_front_end
