// Painting as state: device contexts are handles that name a window, and what
// is drawn through them is kept as that window's list of drawn texts.
#include "platform/windowing/painting.h"

#include <algorithm>
#include <map>

#include "platform/core/system.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window_table.h"

namespace platform {
namespace {

constexpr int kSystemCharWidth = 6;
constexpr int kSystemLineHeight = 16;

struct DeviceContext {
    HWND window = nullptr;
    bool paint = false; // from BeginPaint: drawing goes to the paint under way
};

struct DeviceContexts {
    std::map<UINT_PTR, DeviceContext> open;
    UINT_PTR nextHandle = 0x50010;
};

DeviceContexts& Contexts() {
    static DeviceContexts contexts;
    return contexts;
}

HDC OpenContext(HWND window, bool paint) {
    DeviceContexts& contexts = Contexts();
    HDC handle = reinterpret_cast<HDC>(contexts.nextHandle);
    contexts.nextHandle += 4;
    contexts.open.emplace(reinterpret_cast<UINT_PTR>(handle), DeviceContext{window, paint});
    return handle;
}

DeviceContext* FindContext(HDC handle) {
    auto found = Contexts().open.find(reinterpret_cast<UINT_PTR>(handle));
    return found != Contexts().open.end() ? &found->second : nullptr;
}

// The character cell of the window's font: that of the dialog it belongs to,
// else the system font's.
void CharacterCell(HWND handle, int& width, int& height) {
    WindowTable& table = WindowTable::Instance();
    for (Window* window = table.Find(handle); window != nullptr;
         window = table.Find(window->parent)) {
        if (window->dialog) {
            width = window->dialog->baseUnitX;
            height = window->dialog->baseUnitY;
            return;
        }
    }
    width = kSystemCharWidth;
    height = kSystemLineHeight;
}

int TextHeight(HWND window, std::u16string_view text, const RECT& rect, UINT format,
               int& textWidth) {
    int charWidth = 0;
    int lineHeight = 0;
    CharacterCell(window, charWidth, lineHeight);
    textWidth = static_cast<int>(text.size()) * charWidth;
    if ((format & DT_SINGLELINE) != 0 || (format & DT_WORDBREAK) == 0) {
        return lineHeight;
    }
    int available = std::max(static_cast<int>(rect.right - rect.left), charWidth);
    int lines = std::max(1, (textWidth + available - 1) / available);
    textWidth = std::min(textWidth, available);
    return lines * lineHeight;
}

} // namespace

void RequestPaint(HWND handle) {
    Window* window = WindowTable::Instance().Find(handle);
    if (window == nullptr || !window->needsPaint || window->paintPosted ||
        IsControlClass(window->className) || !IsWindowVisible(handle)) {
        return;
    }
    if (PostMessageW(handle, WM_PAINT, 0, 0)) {
        window->paintPosted = true;
    }
}

} // namespace platform

using platform::Window;
using platform::WindowTable;

HDC BeginPaint(HWND handle, PAINTSTRUCT* paint) {
    Window* window = WindowTable::Instance().Find(handle);
    if (window == nullptr || paint == nullptr) {
        SetLastError(window == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    window->needsPaint = false;
    window->paintPosted = false;
    window->painting = true;
    window->drawing.clear();
    *paint = PAINTSTRUCT{};
    paint->hdc = platform::OpenContext(handle, true);
    paint->fErase = TRUE;
    GetClientRect(handle, &paint->rcPaint);
    return paint->hdc;
}

BOOL EndPaint(HWND handle, const PAINTSTRUCT* paint) {
    if (paint == nullptr) {
        return FALSE;
    }
    platform::DeviceContext* context = platform::FindContext(paint->hdc);
    Window* window = WindowTable::Instance().Find(handle);
    if (context == nullptr || !context->paint || context->window != handle) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    platform::Contexts().open.erase(reinterpret_cast<UINT_PTR>(paint->hdc));
    if (window != nullptr) {
        window->painted = std::move(window->drawing);
        window->drawing.clear();
        window->painting = false;
    }
    return TRUE;
}

HDC GetDC(HWND handle) {
    if (!IsWindow(handle)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return platform::OpenContext(handle, false);
}

int ReleaseDC(HWND, HDC context) {
    return platform::Contexts().open.erase(reinterpret_cast<UINT_PTR>(context)) > 0 ? 1 : 0;
}

int DrawTextW(HDC context, LPCWSTR text, int count, RECT* rect, UINT format) {
    platform::DeviceContext* found = platform::FindContext(context);
    Window* window = found != nullptr ? WindowTable::Instance().Find(found->window) : nullptr;
    if (window == nullptr || text == nullptr || rect == nullptr || count < -1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string_view view =
        count == -1 ? std::u16string_view(text) : std::u16string_view(text, count);
    int width = 0;
    int height = platform::TextHeight(found->window, view, *rect, format, width);
    if ((format & DT_CALCRECT) != 0) {
        rect->right = rect->left + width;
        rect->bottom = rect->top + height;
        return height;
    }
    platform::DrawnText drawn{std::u16string(view), *rect, format};
    (found->paint ? window->drawing : window->painted).push_back(std::move(drawn));
    return height;
}

BOOL InvalidateRect(HWND handle, const RECT*, BOOL) {
    WindowTable& table = WindowTable::Instance();
    std::vector<HWND> targets = handle != nullptr ? std::vector<HWND>{handle} : table.Handles();
    for (HWND target : targets) {
        Window* window = table.Find(target);
        if (window == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        window->needsPaint = true;
        platform::RequestPaint(target);
    }
    return TRUE;
}

BOOL ValidateRect(HWND handle, const RECT*) {
    Window* window = WindowTable::Instance().Find(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    window->needsPaint = false;
    return TRUE;
}

BOOL UpdateWindow(HWND handle) {
    Window* window = WindowTable::Instance().Find(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window->needsPaint && IsWindowVisible(handle)) {
        SendMessageW(handle, WM_PAINT, 0, 0);
    }
    return TRUE;
}

HGDIOBJ GetStockObject(int object) {
    if (object < WHITE_BRUSH || object > SYSTEM_FONT) {
        return nullptr;
    }
    // Stock objects are names only; nothing here draws with them.
    return reinterpret_cast<HGDIOBJ>(static_cast<UINT_PTR>(0x60000 + 4 * object));
}
