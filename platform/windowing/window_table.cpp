#include "platform/windowing/window_table.h"

namespace platform {

WindowTable& WindowTable::Instance() {
    static WindowTable table;
    return table;
}

WindowTable::WindowTable() {
    AddClass({u"BUTTON", ButtonProcedure, nullptr, 0, nullptr, nullptr, 0});
    AddClass({u"EDIT", EditProcedure, nullptr, 0, nullptr, nullptr, 0});
    AddClass({u"STATIC", StaticProcedure, nullptr, 0, nullptr, nullptr, 0});
    AddClass({kDialogClassName, DialogProcedure, nullptr, 0, nullptr, nullptr, 0});
}

std::u16string WindowTable::Key(std::u16string_view name) {
    std::u16string key(name);
    for (char16_t& c : key) {
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - u'a' + u'A');
        }
    }
    return key;
}

Window* WindowTable::Find(HWND handle) {
    auto found = windows_.find(reinterpret_cast<UINT_PTR>(handle));
    return found == windows_.end() ? nullptr : &found->second;
}

Window& WindowTable::Add(Window window) {
    // Handles are never reused, so a stale handle can never reach a new window.
    window.handle = reinterpret_cast<HWND>(nextHandle_);
    nextHandle_ += 4;
    UINT_PTR key = reinterpret_cast<UINT_PTR>(window.handle);
    return windows_.emplace(key, std::move(window)).first->second;
}

void WindowTable::Remove(HWND handle) {
    windows_.erase(reinterpret_cast<UINT_PTR>(handle));
}

const WindowClass* WindowTable::FindClass(std::u16string_view name) const {
    auto found = classes_.find(Key(name));
    return found == classes_.end() ? nullptr : &found->second;
}

bool WindowTable::AddClass(WindowClass windowClass) {
    return classes_.emplace(Key(windowClass.name), std::move(windowClass)).second;
}

bool WindowTable::RemoveClass(std::u16string_view name) {
    return classes_.erase(Key(name)) > 0;
}

std::vector<HWND> WindowTable::Handles() const {
    std::vector<HWND> handles;
    handles.reserve(windows_.size());
    for (const auto& [key, window] : windows_) {
        handles.push_back(window.handle);
    }
    return handles;
}

bool IsControlClass(std::u16string_view className) {
    const WindowClass* found = WindowTable::Instance().FindClass(className);
    return found != nullptr &&
           (found->procedure == ButtonProcedure || found->procedure == EditProcedure ||
            found->procedure == StaticProcedure);
}

HWND TopLevelOf(HWND handle) {
    WindowTable& table = WindowTable::Instance();
    Window* window = table.Find(handle);
    while (window != nullptr && (window->style & WS_CHILD) != 0 && window->parent != nullptr) {
        handle = window->parent;
        window = table.Find(handle);
    }
    return window != nullptr ? handle : nullptr;
}

bool IsSelfOrAncestor(HWND ancestor, HWND handle) {
    WindowTable& table = WindowTable::Instance();
    for (Window* window = table.Find(handle); window != nullptr;
         window = table.Find(window->parent)) {
        if (window->handle == ancestor) {
            return true;
        }
    }
    return false;
}

} // namespace platform
