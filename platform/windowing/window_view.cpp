#include "platform/windowing/window_view.h"

#include "platform/core/system.h"
#include "platform/resources/resources.h"
#include "platform/windowing/window_table.h"

namespace platform {

bool ViewWindow(HWND handle, WindowView& view) {
    WindowTable& table = WindowTable::Instance();
    Window* window = table.Find(handle);
    if (window == nullptr) {
        return false;
    }
    view = WindowView{};
    view.handle = handle;
    view.parent = window->parent;
    view.owner = window->owner;
    view.className = window->className;
    view.text = window->text;
    view.style = window->style;
    view.exStyle = window->exStyle;
    view.controlId = window->controlId;
    view.rect = window->rect;
    GetWindowRect(handle, &view.screenRect);
    view.visible = IsWindowVisible(handle) != FALSE;
    view.enabled = (window->style & WS_DISABLED) == 0;
    view.minimized = window->minimized;
    view.focused = table.focus == handle;
    view.active = table.active == handle;
    view.checkState = window->checkState;
    view.iconId = IconResourceId(window->icon);
    view.isDialog = window->dialog.has_value();
    view.painted = window->painted;
    view.children = window->children;
    return true;
}

std::vector<WindowView> ViewWindows() {
    std::vector<WindowView> views;
    for (HWND handle : WindowTable::Instance().Handles()) {
        WindowView view;
        if (ViewWindow(handle, view)) {
            views.push_back(std::move(view));
        }
    }
    return views;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> handles;
    for (HWND handle : WindowTable::Instance().Handles()) {
        Window* window = WindowTable::Instance().Find(handle);
        if ((window->style & WS_CHILD) == 0) {
            handles.push_back(handle);
        }
    }
    return handles;
}

} // namespace platform
