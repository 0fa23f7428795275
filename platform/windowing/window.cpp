// The window calls: classes, creation, destruction, message routing and the
// text and long-value accessors, over the window table.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/core/system.h"
#include "platform/windowing/foreign_windows.h"
#include "platform/windowing/timers.h"
#include "platform/windowing/window_table.h"

namespace {

using platform::Window;
using platform::WindowTable;

constexpr UINT SC_MINIMIZE = 0xF020;
constexpr UINT SC_CLOSE = 0xF060;
constexpr UINT SC_RESTORE = 0xF120;

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

// Top-level windows owned by `owner`, newest first.
std::vector<HWND> OwnedWindows(HWND owner) {
    std::vector<HWND> owned;
    for (HWND handle : WindowTable::Instance().Handles()) {
        Window* window = WindowTable::Instance().Find(handle);
        if (window != nullptr && window->owner == owner && !window->destroying) {
            owned.insert(owned.begin(), handle);
        }
    }
    return owned;
}

void DestroyTree(HWND handle) {
    Window* window = WindowTable::Instance().Find(handle);
    if (window == nullptr || window->destroying) {
        return;
    }
    window->destroying = true;
    // Owned windows (a modal dialog over this one) go first: they are separate
    // top-level windows that cannot outlive their owner.
    for (HWND owned : OwnedWindows(handle)) {
        DestroyTree(owned);
    }
    // The window is taken off the screen, then hears of its end while its
    // children can still be read; then the children go, each the same way.
    if (window = WindowTable::Instance().Find(handle); window != nullptr) {
        window->style &= ~WS_VISIBLE;
    }
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
    platform::ForgetWindowTimers(handle);
    platform::OnWindowDestroyed(handle);
    window = WindowTable::Instance().Find(handle);
    if (window == nullptr) {
        return;
    }
    if (Window* parent = WindowTable::Instance().Find(window->parent)) {
        std::erase(parent->children, handle);
    }
    WindowTable::Instance().Remove(handle);
}

// A top-level window asked for with CW_USEDEFAULT fills the work area.
RECT InitialRect(DWORD style, int x, int y, int width, int height) {
    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    bool topLevel = (style & WS_CHILD) == 0;
    if (x == CW_USEDEFAULT) {
        x = topLevel ? workArea.left : 0;
        y = topLevel ? workArea.top : 0;
    }
    if (width == CW_USEDEFAULT) {
        width = topLevel ? workArea.right - workArea.left : 0;
        height = topLevel ? workArea.bottom - workArea.top : 0;
    }
    return {x, y, x + std::max(width, 0), y + std::max(height, 0)};
}

Window NewWindow(const platform::WindowClass& windowClass, DWORD exStyle, LPCWSTR windowName,
                 DWORD style, const RECT& rect, HWND parent, HMENU menu, HINSTANCE instance) {
    Window window;
    window.className = windowClass.name;
    window.procedure = windowClass.procedure;
    window.instance = instance;
    window.style = style & ~WS_VISIBLE; // shown once created
    window.exStyle = exStyle;
    bool child = (style & WS_CHILD) != 0;
    window.controlId = child ? static_cast<int>(reinterpret_cast<UINT_PTR>(menu) & 0xFFFF) : 0;
    window.parent = child ? parent : nullptr;
    window.owner = child ? nullptr : platform::TopLevelOf(parent);
    window.text = windowName != nullptr ? std::u16string(windowName) : std::u16string();
    window.rect = rect;
    window.extraBytes.assign(static_cast<std::size_t>(std::max(windowClass.extraBytes, 0)), 0);
    return window;
}

void SendSizeAndMove(HWND handle) {
    RECT client{};
    GetClientRect(handle, &client);
    SendMessageW(handle, WM_SIZE, SIZE_RESTORED,
                 MAKELPARAM(static_cast<WORD>(client.right), static_cast<WORD>(client.bottom)));
    Window* window = WindowTable::Instance().Find(handle);
    if (window != nullptr) {
        SendMessageW(
            handle, WM_MOVE, 0,
            MAKELPARAM(static_cast<WORD>(window->rect.left), static_cast<WORD>(window->rect.top)));
    }
}

// Reads or writes `size` bytes of a window's extra bytes at `offset`.
bool ExtraBytes(Window& window, int offset, std::size_t size, void* read, const void* write) {
    if (offset < 0 || static_cast<std::size_t>(offset) + size > window.extraBytes.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return false;
    }
    BYTE* at = window.extraBytes.data() + offset;
    if (read != nullptr) {
        std::memcpy(read, at, size);
    }
    if (write != nullptr) {
        std::memcpy(at, write, size);
    }
    return true;
}

LONG_PTR* DialogSlot(Window& window, int index) {
    if (!window.dialog) {
        return nullptr;
    }
    switch (index) {
    case DWLP_MSGRESULT:
        return &window.dialog->messageResult;
    case DWLP_DLGPROC:
        return reinterpret_cast<LONG_PTR*>(&window.dialog->procedure);
    case DWLP_USER:
        return &window.dialog->user;
    default:
        return nullptr;
    }
}

} // namespace

ATOM RegisterClassW(const WNDCLASSW* windowClass) {
    if (windowClass == nullptr || windowClass->lpfnWndProc == nullptr ||
        ClassNameView(windowClass->lpszClassName).empty() || windowClass->cbWndExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    platform::WindowClass entry{std::u16string(windowClass->lpszClassName),
                                windowClass->lpfnWndProc,
                                windowClass->hInstance,
                                windowClass->style,
                                windowClass->hIcon,
                                windowClass->hbrBackground,
                                windowClass->cbWndExtra};
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
    RECT rect = InitialRect(style, x, y, width, height);
    HWND handle =
        table.Add(NewWindow(*windowClass, exStyle, windowName, style, rect, parent, menu, instance))
            .handle;
    if (Window* parentWindow = table.Find(parent); parentWindow != nullptr && (style & WS_CHILD)) {
        parentWindow->children.push_back(handle);
    }
    CREATESTRUCTW create{parameter,
                         instance,
                         menu,
                         parent,
                         static_cast<int>(rect.bottom - rect.top),
                         static_cast<int>(rect.right - rect.left),
                         static_cast<int>(rect.top),
                         static_cast<int>(rect.left),
                         static_cast<LONG>(style),
                         windowName,
                         className,
                         exStyle};
    auto createParam = reinterpret_cast<LPARAM>(&create);
    if (SendMessageW(handle, WM_NCCREATE, 0, createParam) == 0 ||
        SendMessageW(handle, WM_CREATE, 0, createParam) == -1) {
        DestroyWindow(handle);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (table.Find(handle) == nullptr) {
        return nullptr;
    }
    SendSizeAndMove(handle);
    if ((style & WS_VISIBLE) != 0 && table.Find(handle) != nullptr) {
        ShowWindow(handle, (style & WS_CHILD) != 0 ? SW_SHOWNA : SW_SHOW);
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

BOOL IsWindow(HWND handle) {
    return WindowTable::Instance().Find(handle) != nullptr;
}

BOOL IsChild(HWND parent, HWND handle) {
    return handle != parent && platform::IsSelfOrAncestor(parent, handle) ? TRUE : FALSE;
}

int GetClassNameW(HWND handle, LPWSTR buffer, int capacity) {
    Window* window = FindOrFail(handle);
    if (window == nullptr || buffer == nullptr || capacity <= 0) {
        return 0;
    }
    std::size_t count = std::min(window->className.size(), static_cast<std::size_t>(capacity - 1));
    window->className.copy(buffer, count);
    buffer[count] = u'\0';
    return static_cast<int>(count);
}

namespace {

HWND FindLocalWindow(LPCWSTR className, LPCWSTR windowName) {
    WindowTable& table = WindowTable::Instance();
    const platform::WindowClass* wanted =
        className != nullptr ? table.FindClass(ClassNameView(className)) : nullptr;
    if (className != nullptr && wanted == nullptr) {
        return nullptr;
    }
    for (HWND handle : table.Handles()) {
        Window* window = table.Find(handle);
        if ((window->style & WS_CHILD) != 0 || window->destroying) {
            continue;
        }
        if (wanted != nullptr && table.FindClass(window->className) != wanted) {
            continue;
        }
        if (windowName == nullptr || window->text == windowName) {
            return handle;
        }
    }
    return nullptr;
}

} // namespace

// A window of this process, else one that another instance on the same device
// root serves.
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
    if (HWND local = FindLocalWindow(className, windowName)) {
        return local;
    }
    platform::ForeignWindows* foreign = platform::RegisteredForeignWindows();
    return foreign != nullptr ? foreign->Find(className, windowName) : nullptr;
}

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
    if (window == nullptr) {
        return nullptr;
    }
    return (window->style & WS_CHILD) != 0 ? window->parent : window->owner;
}

LRESULT SendMessageW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (platform::ForeignWindows* foreign = platform::ForeignWindowsOf(handle)) {
        return foreign->Send(handle, message, wParam, lParam);
    }
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
    case WM_NCCREATE:
        return TRUE;
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
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(window->text.size());
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(handle, &paint);
        EndPaint(handle, &paint);
        return 0;
    }
    case WM_ACTIVATE:
        // An activated window takes the focus unless it is minimised.
        if (LOWORD(wParam) != WA_INACTIVE && !window->minimized) {
            SetFocus(handle);
        }
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            SendMessageW(handle, WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            ShowWindow(handle, SW_MINIMIZE);
            break;
        case SC_RESTORE:
            ShowWindow(handle, SW_RESTORE);
            break;
        default:
            break;
        }
        return 0;
    case WM_CLOSE:
        DestroyWindow(handle);
        return 0;
    default:
        return 0;
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
    return SendMessageW(handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

LONG_PTR GetWindowLongPtrW(HWND handle, int index) {
    Window* window = FindOrFail(handle);
    if (window == nullptr) {
        return 0;
    }
    if (LONG_PTR* slot = DialogSlot(*window, index)) {
        return *slot;
    }
    switch (index) {
    case GWL_STYLE:
        return static_cast<LONG_PTR>(window->style);
    case GWL_EXSTYLE:
        return static_cast<LONG_PTR>(window->exStyle);
    case GWL_ID:
        return window->controlId;
    case GWLP_USERDATA:
        return window->userData;
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(window->procedure);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(window->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(GetParent(handle));
    default: {
        LONG_PTR value = 0;
        ExtraBytes(*window, index, sizeof value, &value, nullptr);
        return value;
    }
    }
}

LONG_PTR SetWindowLongPtrW(HWND handle, int index, LONG_PTR value) {
    Window* window = FindOrFail(handle);
    if (window == nullptr) {
        return 0;
    }
    LONG_PTR previous = GetWindowLongPtrW(handle, index);
    if (LONG_PTR* slot = DialogSlot(*window, index)) {
        *slot = value;
        return previous;
    }
    switch (index) {
    case GWL_STYLE:
        window->style = static_cast<DWORD>(value);
        break;
    case GWL_EXSTYLE:
        window->exStyle = static_cast<DWORD>(value);
        break;
    case GWL_ID:
        window->controlId = static_cast<int>(value);
        break;
    case GWLP_USERDATA:
        window->userData = value;
        break;
    case GWLP_WNDPROC:
        if (value == 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        window->procedure = reinterpret_cast<WNDPROC>(value);
        break;
    case GWLP_HINSTANCE:
        window->instance = reinterpret_cast<HINSTANCE>(value);
        break;
    default:
        if (!ExtraBytes(*window, index, sizeof value, nullptr, &value)) {
            return 0;
        }
    }
    return previous;
}

LONG GetWindowLongW(HWND handle, int index) {
    Window* window = FindOrFail(handle);
    if (window != nullptr && index >= 0 && !DialogSlot(*window, index)) {
        LONG value = 0;
        ExtraBytes(*window, index, sizeof value, &value, nullptr);
        return value;
    }
    return static_cast<LONG>(GetWindowLongPtrW(handle, index));
}

LONG SetWindowLongW(HWND handle, int index, LONG value) {
    Window* window = FindOrFail(handle);
    if (window != nullptr && index >= 0 && !DialogSlot(*window, index)) {
        LONG previous = 0;
        if (!ExtraBytes(*window, index, sizeof value, &previous, &value)) {
            return 0;
        }
        return previous;
    }
    return static_cast<LONG>(SetWindowLongPtrW(handle, index, value));
}
