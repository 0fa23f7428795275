#include "platform/window_table.h"

namespace platform {

WindowTable& WindowTable::Instance() {
    static WindowTable table;
    return table;
}

WindowTable::WindowTable() {
    AddClass({u"BUTTON", ButtonProcedure, nullptr, 0, nullptr, nullptr});
    AddClass({u"EDIT", EditProcedure, nullptr, 0, nullptr, nullptr});
    AddClass({u"STATIC", StaticProcedure, nullptr, 0, nullptr, nullptr});
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

void WindowTable::Remove(HWND handle) { windows_.erase(reinterpret_cast<UINT_PTR>(handle)); }

const WindowClass* WindowTable::FindClass(std::u16string_view name) const {
    auto found = classes_.find(Key(name));
    return found == classes_.end() ? nullptr : &found->second;
}

bool WindowTable::AddClass(WindowClass windowClass) {
    return classes_.emplace(Key(windowClass.name), std::move(windowClass)).second;
}

bool WindowTable::RemoveClass(std::u16string_view name) { return classes_.erase(Key(name)) > 0; }

std::vector<HWND> WindowTable::Handles() const {
    std::vector<HWND> handles;
    handles.reserve(windows_.size());
    for (const auto& [key, window] : windows_) {
        handles.push_back(window.handle);
    }
    return handles;
}

} // namespace platform
