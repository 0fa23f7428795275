// The options dialog's template (dialog 102) as the tests expect to see it: its
// controls in template order with their rectangles in dialog units, and where
// they land in pixels with the dialog's 12-point font.
#pragma once

#include <vector>

#include "platform/gtk/gtk_inspect.h"

namespace gtk_test {

using platform::gtk_front_end::WidgetKind;

struct TemplateControl {
    int id;
    WidgetKind kind;
    int x, y, cx, cy;
};

inline const std::vector<TemplateControl> kOptionsControls = {
    {1002, WidgetKind::Label, 2, 4, 38, 10},
    {1003, WidgetKind::RadioButton, 65, 3, 35, 11},
    {1004, WidgetKind::RadioButton, 101, 3, 37, 11},
    {1005, WidgetKind::Label, 2, 32, 40, 10},
    {1006, WidgetKind::RadioButton, 65, 31, 35, 11},
    {1007, WidgetKind::RadioButton, 101, 31, 37, 11},
    {1008, WidgetKind::Label, 2, 18, 40, 10},
    {1009, WidgetKind::RadioButton, 44, 17, 29, 11},
    {1010, WidgetKind::RadioButton, 74, 17, 31, 11},
    {1033, WidgetKind::RadioButton, 106, 17, 32, 11},
    {1013, WidgetKind::Label, 2, 46, 61, 10},
    {1014, WidgetKind::Edit, 64, 44, 68, 12},
    {1015, WidgetKind::Label, 2, 60, 54, 10},
    {1016, WidgetKind::Edit, 64, 58, 68, 12},
    {1017, WidgetKind::CheckBox, 96, 74, 38, 10},
    {1018, WidgetKind::CheckBox, 64, 74, 25, 10},
    {1019, WidgetKind::Label, 2, 88, 69, 9},
    {1023, WidgetKind::Label, 2, 102, 71, 8},
    {1024, WidgetKind::Edit, 75, 101, 26, 12},
    {1025, WidgetKind::CheckBox, 75, 88, 17, 10},
    {1026, WidgetKind::CheckBox, 96, 88, 17, 10},
    {1027, WidgetKind::CheckBox, 117, 88, 17, 10},
    {1028, WidgetKind::Label, 2, 74, 55, 8},
    {1030, WidgetKind::Label, 2, 116, 60, 10},
    {1011, WidgetKind::RadioButton, 65, 115, 35, 11},
    {1012, WidgetKind::RadioButton, 101, 115, 37, 11},
    {1031, WidgetKind::PushButton, 2, 131, 64, 14},
    {1032, WidgetKind::PushButton, 68, 131, 64, 14},
};

// Pixels of dialog units for a 12-point dialog font: base units 6 x 16.
inline int Across(int units) {
    return (units * 6 + 2) / 4;
}
inline int Down(int units) {
    return (units * 16 + 4) / 8;
}

// The middle of a control, in pixels from the dialog's top-left corner.
struct Point {
    int x = 0;
    int y = 0;
};
inline Point ControlCentre(int id) {
    for (const TemplateControl& control : kOptionsControls) {
        if (control.id == id) {
            return {Across(control.x) + Across(control.cx) / 2,
                    Down(control.y) + Down(control.cy) / 2};
        }
    }
    return {};
}

} // namespace gtk_test
