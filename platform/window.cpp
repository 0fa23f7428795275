// The window calls: creation, destruction, message routing and the text and
// long-value accessors, over the window table.
#include <algorithm>
#include <string>

#include "platform/system.h"
#include "platform/window_table.h"

namespace {

using platform::Window;
using platform::WindowTable;

Window* FindOrFail(HWND handle) {
    Window* window = WindowTable::Instance().Find(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    }
    return window;
}

std::u16string_view ClassNameView(LPCWSTR className) {
    return className != nullptr && !IS_INTRESOURCE(className) ? std::u16string_view(className)
                                                              : std::u16string_view();
}

void DestroyTree(HWND handle) {
    Window* window = WindowTable::Instance().Find(handle);
    if (window == nullptr || window->destroying) {
        return;
    }
    window->destroying = true;
    // The window hears of its end first, while its children can still be read.
    SendMessageW(handle, WM_DESTROY, 0, 0);
    window = WindowTable::Instance().Find(handle);
    if (window == nullptr) {
        return;
    }
    std::vector<HWND> children = window->children;
    for (HWND child : children) {
        DestroyTree(child);
    }
    SendMessageW(handle, WM_NCDESTROY, 0, 0);
    window = WindowTable::Instance().Find(handle);
    if (window == nullptr) {
        return;
    }
    if (Window* parent = WindowTable::Instance().Find(window->parent)) {
        std::erase(parent->children, handle);
    }
    WindowTable::Instance().Remove(handle);
}

} // namespace

ATOM RegisterClassW(const WNDCLASSW* windowClass) {
    if (windowClass == nullptr || windowClass->lpfnWndProc == nullptr ||
        ClassNameView(windowClass->lpszClassName).empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    platform::WindowClass entry{std::u16string(windowClass->lpszClassName),
                                windowClass->lpfnWndProc,
                                windowClass->hInstance,
                                windowClass->style,
                                windowClass->hIcon,
                                windowClass->hbrBackground};
    if (!WindowTable::Instance().AddClass(std::move(entry))) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    // The atom only needs to be nonzero; classes are found by name.
    return 0xC000;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
    if (!WindowTable::Instance().RemoveClass(ClassNameView(className))) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return FALSE;
    }
    return TRUE;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID parameter) {
    WindowTable& table = WindowTable::Instance();
    const platform::WindowClass* windowClass = table.FindClass(ClassNameView(className));
    if (windowClass == nullptr) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (parent != nullptr && table.Find(parent) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if ((style & WS_CHILD) != 0 && parent == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Window window;
    window.className = windowClass->name;
    window.procedure = windowClass->procedure;
    window.instance = instance;
    window.style = style;
    window.exStyle = exStyle;
    window.controlId = (style & WS_CHILD) != 0
                           ? static_cast<int>(reinterpret_cast<UINT_PTR>(menu) & 0xFFFF)
                           : 0;
    window.parent = parent;
    window.text = windowName != nullptr ? std::u16string(windowName) : std::u16string();
    window.rect = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
    HWND handle = table.Add(std::move(window)).handle;
    if (Window* parentWindow = table.Find(parent)) {
        parentWindow->children.push_back(handle);
    }

    CREATESTRUCTW create{parameter, instance, menu,  parent,     height,    width,
                         y,         x,        static_cast<LONG>(style), windowName,
                         className, exStyle};
    auto createParam = reinterpret_cast<LPARAM>(&create);
    if (SendMessageW(handle, WM_NCCREATE, 0, createParam) == 0 ||
        SendMessageW(handle, WM_CREATE, 0, createParam) == -1) {
        DestroyWindow(handle);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return table.Find(handle) != nullptr ? handle : nullptr;
}

BOOL DestroyWindow(HWND handle) {
    if (FindOrFail(handle) == nullptr) {
        return FALSE;
    }
    DestroyTree(handle);
    return TRUE;
}

BOOL IsWindow(HWND handle) { return WindowTable::Instance().Find(handle) != nullptr; }

HWND GetDlgItem(HWND dialog, int controlId) {
    Window* window = FindOrFail(dialog);
    if (window == nullptr) {
        return nullptr;
    }
    for (HWND child : window->children) {
        Window* control = WindowTable::Instance().Find(child);
        if (control != nullptr && control->controlId == controlId) {
            return child;
        }
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

int GetDlgCtrlID(HWND handle) {
    Window* window = FindOrFail(handle);
    return window != nullptr ? window->controlId : 0;
}

HWND GetParent(HWND handle) {
    Window* window = FindOrFail(handle);
    return window != nullptr ? window->parent : nullptr;
}

LRESULT SendMessageW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = FindOrFail(handle);
    if (window == nullptr || window->procedure == nullptr) {
        return 0;
    }
    return window->procedure(handle, message, wParam, lParam);
}

LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam) {
    return procedure != nullptr ? procedure(window, message, wParam, lParam) : 0;
}

LRESULT DefWindowProcW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = WindowTable::Instance().Find(handle);
    if (window == nullptr) {
        return 0;
    }
    switch (message) {
    case WM_NCCREATE: return TRUE;
    case WM_SETTEXT: {
        auto text = reinterpret_cast<LPCWSTR>(lParam);
        window->text = text != nullptr ? std::u16string(text) : std::u16string();
        return TRUE;
    }
    case WM_GETTEXT: {
        auto buffer = reinterpret_cast<LPWSTR>(lParam);
        if (buffer == nullptr || wParam == 0) {
            return 0;
        }
        std::size_t count = std::min<std::size_t>(window->text.size(), wParam - 1);
        window->text.copy(buffer, count);
        buffer[count] = u'\0';
        return static_cast<LRESULT>(count);
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(window->text.size());
    case WM_CLOSE: DestroyWindow(handle); return 0;
    default: return 0;
    }
}

int GetWindowTextW(HWND handle, LPWSTR buffer, int capacity) {
    if (capacity <= 0 || buffer == nullptr) {
        return 0;
    }
    // An invalid handle leaves the buffer as it was, so a caller's text survives.
    if (FindOrFail(handle) == nullptr) {
        return 0;
    }
    return static_cast<int>(SendMessageW(handle, WM_GETTEXT, static_cast<WPARAM>(capacity),
                                         reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND handle) {
    return static_cast<int>(SendMessageW(handle, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetWindowTextW(HWND handle, LPCWSTR text) {
    if (FindOrFail(handle) == nullptr) {
        return FALSE;
    }
    return SendMessageW(handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE
                                                                                    : FALSE;
}

LONG_PTR GetWindowLongPtrW(HWND handle, int index) {
    Window* window = FindOrFail(handle);
    if (window == nullptr) {
        return 0;
    }
    switch (index) {
    case GWL_STYLE: return static_cast<LONG_PTR>(window->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(window->exStyle);
    case GWL_ID: return window->controlId;
    case GWLP_USERDATA: return window->userData;
    default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
    }
}

LONG_PTR SetWindowLongPtrW(HWND handle, int index, LONG_PTR value) {
    Window* window = FindOrFail(handle);
    if (window == nullptr) {
        return 0;
    }
    LONG_PTR previous = GetWindowLongPtrW(handle, index);
    switch (index) {
    case GWL_STYLE: window->style = static_cast<DWORD>(value); break;
    case GWL_EXSTYLE: window->exStyle = static_cast<DWORD>(value); break;
    case GWL_ID: window->controlId = static_cast<int>(value); break;
    case GWLP_USERDATA: window->userData = value; break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
    }
    return previous;
}

LONG GetWindowLongW(HWND handle, int index) {
    return static_cast<LONG>(GetWindowLongPtrW(handle, index));
}

LONG SetWindowLongW(HWND handle, int index, LONG value) {
    return static_cast<LONG>(SetWindowLongPtrW(handle, index, value));
}
