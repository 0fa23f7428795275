// The options dialog's template (IDD_OPTIONS) as the program's resources hold
// it, and the widget each control is shown as; where the controls land in pixels
// with the dialog's 12-point font.
#pragma once

#include "desktop_session.h"
#include "platform/gtk/gtk_inspect.h"
#include "platform/resources/resources.h"
#include "platform/windowing/dialog_template.h"
#include "platform/windowing/dialogs.h"
#include "platform/windowing/window.h"
#include "res/resource_ids.h"

namespace gtk_test {

using platform::gtk_front_end::WidgetKind;

inline const platform::DialogTemplate& OptionsTemplate() {
    static const platform::DialogTemplate read = [] {
        platform::DialogTemplate dialog;
        HRSRC found = FindResourceW(TestInstance(), MAKEINTRESOURCEW(IDD_OPTIONS), RT_DIALOG);
        platform::ReadDialogTemplate(
            static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(TestInstance(), found))),
            dialog);
        return dialog;
    }();
    return read;
}

// A button by its style, an edit box, a static text.
inline WidgetKind ShownAs(const platform::DialogItem& control) {
    if (control.classAtom == kDialogEditAtom) {
        return WidgetKind::Edit;
    }
    if (control.classAtom != kDialogButtonAtom) {
        return WidgetKind::Label;
    }
    DWORD type = control.style & BS_TYPEMASK;
    return type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON ? WidgetKind::RadioButton
           : type == BS_AUTOCHECKBOX || type == BS_CHECKBOX     ? WidgetKind::CheckBox
                                                                : WidgetKind::PushButton;
}

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
    for (const platform::DialogItem& control : OptionsTemplate().items) {
        if (control.id == id) {
            return {Across(control.x) + Across(control.cx) / 2,
                    Down(control.y) + Down(control.cy) / 2};
        }
    }
    return {};
}

} // namespace gtk_test
