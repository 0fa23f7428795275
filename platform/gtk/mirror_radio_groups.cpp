// Radio groups: which sibling leads a radio button's group, and the hidden
// member each group carries.
#include "platform/windowing/window.h"

#include "platform/gtk/mirror_helpers.h"

#include <map>

namespace platform::gtk_front_end::mirror_detail {

// The sibling that starts the group `view` belongs to: the nearest one at or
// before it with WS_GROUP, else the first sibling (as the window system groups
// auto radio buttons).
HWND GroupLeader(const WindowView& view) {
    WindowView parent;
    if (!ViewWindow(view.parent, parent)) {
        return view.handle;
    }
    HWND leader = parent.children.empty() ? view.handle : parent.children.front();
    for (HWND sibling : parent.children) {
        WindowView siblingView;
        if (ViewWindow(sibling, siblingView) && (siblingView.style & WS_GROUP) != 0) {
            leader = sibling;
        }
        if (sibling == view.handle) {
            break;
        }
    }
    return leader;
}

namespace {

// Every radio group's none-checked radio, by the group's leader. A GTK radio
// group always has exactly one active member: a button cannot be cleared on its
// own, and the first button of a new group starts active. The window system has
// no such rule: a group may have no button checked (before the program checks
// one, or after it clears them all). So each group is built around a radio
// button of its own that is never put in a window: new buttons join its group
// (and so start clear), and activating it clears the shown one, which is how a
// group with none checked is shown. It holds a reference of its own, since no
// container does.
std::map<HWND, GtkWidget*>& NoneCheckedRadios() {
    static std::map<HWND, GtkWidget*> radios;
    return radios;
}

void Destroy(GtkWidget* radio) {
    gtk_widget_destroy(radio);
    g_object_unref(radio);
}

} // namespace

GtkWidget* NoneCheckedRadioFor(HWND leader) {
    auto& radios = NoneCheckedRadios();
    if (auto found = radios.find(leader); found != radios.end()) {
        return found->second;
    }
    GtkWidget* radio = gtk_radio_button_new(nullptr);
    g_object_ref_sink(radio);
    radios.emplace(leader, radio);
    return radio;
}

void DropNoneCheckedRadio(HWND leader) {
    auto& radios = NoneCheckedRadios();
    if (auto found = radios.find(leader); found != radios.end()) {
        Destroy(found->second);
        radios.erase(found);
    }
}

void DropAllNoneCheckedRadios() {
    for (auto& [leader, radio] : NoneCheckedRadios()) {
        Destroy(radio);
    }
    NoneCheckedRadios().clear();
}
} // namespace platform::gtk_front_end::mirror_detail
