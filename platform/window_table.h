// Inside the window system: the table of windows and registered classes. Only
// platform files include this; the application sees handles and messages.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/window.h"

namespace platform {

struct Window {
    HWND handle = nullptr;
    std::u16string className; // as registered, for messages
    WNDPROC procedure = nullptr;
    HINSTANCE instance = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    int controlId = 0;
    HWND parent = nullptr;
    std::vector<HWND> children; // in creation order, which is the tab order
    std::u16string text;
    RECT rect{};
    WPARAM checkState = BST_UNCHECKED;
    LONG_PTR userData = 0;
    bool destroying = false; // WM_DESTROY sent; the handle is still valid
};

struct WindowClass {
    std::u16string name;
    WNDPROC procedure = nullptr;
    HINSTANCE instance = nullptr;
    UINT style = 0;
    HICON icon = nullptr;
    HBRUSH background = nullptr;
};

class WindowTable {
public:
    static WindowTable& Instance();

    Window* Find(HWND handle);
    Window& Add(Window window);
    void Remove(HWND handle);

    const WindowClass* FindClass(std::u16string_view name) const;
    bool AddClass(WindowClass windowClass);
    bool RemoveClass(std::u16string_view name);

    // Top-level windows and their descendants, for front ends and tests.
    std::vector<HWND> Handles() const;

private:
    WindowTable();
    static std::u16string Key(std::u16string_view name);

    std::map<UINT_PTR, Window> windows_;
    std::map<std::u16string, WindowClass> classes_;
    UINT_PTR nextHandle_ = 0x10010;
};

// The procedures of the built-in control classes.
LRESULT ButtonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT EditProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT StaticProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace platform
