// The edit control, single-line: its text, a selection whose end is the caret,
// and typing through WM_CHAR (a character replaces the selection, a backspace
// deletes it or the character before the caret). The parent hears of every
// change of the text (EN_CHANGE, also for WM_SETTEXT), of the limit being
// reached (EN_MAXTEXT) and of the focus (EN_SETFOCUS, EN_KILLFOCUS).
#include <algorithm>

#include "platform/core/system.h"
#include "platform/windowing/window_table.h"

namespace platform {
namespace {

constexpr std::size_t kDefaultTextLimit = 30000;
constexpr char16_t kBackspace = 0x08;

std::size_t Limit(const Window& edit) {
    return edit.textLimit != 0 ? edit.textLimit : kDefaultTextLimit;
}

void ClampSelection(Window& edit) {
    edit.selectionStart = std::min(edit.selectionStart, edit.text.size());
    edit.selectionEnd = std::min(edit.selectionEnd, edit.text.size());
}

// The character as the style lets it in, or 0 when the style refuses it.
char16_t Accepted(const Window& edit, char16_t c) {
    if ((edit.style & ES_NUMBER) != 0 && (c < u'0' || c > u'9')) {
        return 0;
    }
    if ((edit.style & ES_UPPERCASE) != 0 && c >= u'a' && c <= u'z') {
        return static_cast<char16_t>(c - u'a' + u'A');
    }
    if ((edit.style & ES_LOWERCASE) != 0 && c >= u'A' && c <= u'Z') {
        return static_cast<char16_t>(c - u'A' + u'a');
    }
    return c;
}

// Applies one typed character; returns the notification to send, if any.
WORD Type(Window& edit, char16_t c) {
    if ((edit.style & ES_READONLY) != 0) {
        return 0;
    }
    ClampSelection(edit);
    std::size_t from = std::min(edit.selectionStart, edit.selectionEnd);
    std::size_t to = std::max(edit.selectionStart, edit.selectionEnd);
    if (c == kBackspace) {
        if (from == to && from == 0) {
            return 0;
        }
        from = from == to ? from - 1 : from;
        edit.text.erase(from, to - from);
    } else {
        c = c >= 0x20 ? Accepted(edit, c) : 0;
        if (c == 0) {
            return 0;
        }
        if (edit.text.size() - (to - from) >= Limit(edit)) {
            return EN_MAXTEXT;
        }
        edit.text.replace(from, to - from, 1, c);
        ++from;
    }
    edit.selectionStart = edit.selectionEnd = from;
    return EN_CHANGE;
}

LRESULT SetSelection(Window& edit, WPARAM start, LPARAM end) {
    // A start of -1 removes the selection; an end of -1 runs to the end of the text.
    auto size = edit.text.size();
    if (static_cast<LONG>(start) == -1) {
        edit.selectionStart = edit.selectionEnd;
    } else {
        edit.selectionStart = std::min<std::size_t>(start, size);
        edit.selectionEnd =
            end < 0 ? size : std::min<std::size_t>(static_cast<std::size_t>(end), size);
    }
    return 0;
}

} // namespace

LRESULT EditProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* edit = WindowTable::Instance().Find(handle);
    if (edit == nullptr) {
        return 0;
    }
    switch (message) {
    case WM_SETTEXT: {
        DefWindowProcW(handle, message, wParam, lParam);
        edit->selectionStart = edit->selectionEnd = 0;
        NotifyParent(handle, EN_CHANGE);
        return TRUE;
    }
    case WM_CHAR: {
        WORD notification = Type(*edit, static_cast<char16_t>(wParam));
        if (notification != 0) {
            NotifyParent(handle, notification);
        }
        return 0;
    }
    case EM_GETSEL: {
        ClampSelection(*edit);
        auto start = static_cast<WORD>(edit->selectionStart);
        auto end = static_cast<WORD>(edit->selectionEnd);
        return static_cast<LRESULT>(MAKELPARAM(start, end));
    }
    case EM_SETSEL:
        return SetSelection(*edit, wParam, lParam);
    case EM_LIMITTEXT:
        edit->textLimit = wParam;
        return 0;
    case EM_GETLIMITTEXT:
        return static_cast<LRESULT>(Limit(*edit));
    case WM_SETFOCUS:
        NotifyParent(handle, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        NotifyParent(handle, EN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
        SetFocus(handle);
        return 0;
    default:
        return DefWindowProcW(handle, message, wParam, lParam);
    }
}

} // namespace platform
