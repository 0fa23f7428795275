// The mirror's table of widgets: looking a window or widget up, how a window is
// classified, and mnemonic texts. Creation, sync and drawing have files of their own.
#include "platform/shell/menu_bar.h"
#include "platform/windowing/window.h"

#include "platform/gtk/mirror_helpers.h"

namespace platform::gtk_front_end {
namespace mirror_detail {
namespace {

std::u16string Lower(std::u16string_view text) {
    std::u16string lower(text);
    for (char16_t& c : lower) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return lower;
}

} // namespace

bool IsMenuBar(const WindowView& view) {
    return view.parent == nullptr && Lower(view.className) == Lower(kMenuBarClassName);
}

WidgetKind KindOf(const WindowView& view) {
    std::u16string className = Lower(view.className);
    if (view.parent == nullptr) {
        return IsMenuBar(view) ? WidgetKind::Surface : WidgetKind::TopLevel;
    }
    if (className == u"button") {
        switch (view.style & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
            return WidgetKind::CheckBox;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return WidgetKind::RadioButton;
        case BS_GROUPBOX:
            return WidgetKind::GroupBox;
        default:
            return WidgetKind::PushButton;
        }
    }
    if (className == u"edit") {
        return WidgetKind::Edit;
    }
    if (className == u"static") {
        return (view.style & SS_TYPEMASK) == SS_ICON ? WidgetKind::Icon : WidgetKind::Label;
    }
    return WidgetKind::Surface;
}

} // namespace mirror_detail

using namespace mirror_detail;

std::string MnemonicText(std::u16string_view text) {
    std::u16string converted;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'&') {
            if (i + 1 < text.size() && text[i + 1] == u'&') {
                converted += u'&';
                ++i;
            } else {
                converted += u'_';
            }
        } else if (c == u'_') {
            converted += u"__";
        } else {
            converted += c;
        }
    }
    return Utf8(converted);
}

WindowMirror& WindowMirror::Instance() {
    static WindowMirror mirror;
    return mirror;
}

const Mirror* WindowMirror::Find(HWND window) const {
    auto found = mirrors_.find(window);
    return found == mirrors_.end() ? nullptr : &found->second;
}

HWND WindowMirror::WindowOfWidget(GtkWidget* widget) const {
    for (; widget != nullptr; widget = gtk_widget_get_parent(widget)) {
        for (const auto& [handle, mirror] : mirrors_) {
            if (mirror.outer == widget || mirror.control == widget) {
                return handle;
            }
        }
    }
    return nullptr;
}

GtkWidget* WindowMirror::ContainerFor(const WindowView& view) {
    auto parent = mirrors_.find(view.parent);
    if (parent == mirrors_.end()) {
        return nullptr;
    }
    return parent->second.fixed;
}

} // namespace platform::gtk_front_end
