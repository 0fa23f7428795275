// The dialog manager: dialogs created from templates, the dialog class's own
// procedure (which runs the application's dialog procedure first and does the
// default dialog handling when that procedure leaves a message alone), and the
// calls that address a dialog's controls by id.
//
// Dialog units become pixels through the dialog font's base units: the
// character height in pixels is the point size at 96 dots per inch (4/3 of the
// points, rounded up), the average character width 3/8 of that, as for the
// device's proportional fonts. A horizontal unit is a quarter of the width, a
// vertical unit an eighth of the height.
#include <algorithm>

#include "platform/core/system.h"
#include "platform/resources/resources.h"
#include "platform/windowing/dialog_template.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window_table.h"

namespace platform {
namespace {

constexpr WORD kSystemFontPoints = 12;

void BaseUnits(WORD points, int& x, int& y) {
    y = (points * 4 + 2) / 3;
    x = (y * 3 + 4) / 8;
}

int Scale(int units, int base, int divisor) {
    // Rounded to the nearest pixel, halves away from zero, as MulDiv does.
    long long product = static_cast<long long>(units) * base;
    long long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor : (product - half) / divisor);
}

RECT ToPixels(short x, short y, short cx, short cy, int baseX, int baseY) {
    int left = Scale(x, baseX, 4);
    int top = Scale(y, baseY, 8);
    return {left, top, left + Scale(cx, baseX, 4), top + Scale(cy, baseY, 8)};
}

LPCWSTR ItemClass(const DialogItem& item) {
    switch (item.classAtom) {
    case 0:
        return item.className.c_str();
    case kDialogButtonAtom:
        return u"BUTTON";
    case kDialogEditAtom:
        return u"EDIT";
    case kDialogStaticAtom:
        return u"STATIC";
    default:
        return nullptr; // list boxes, scroll bars, combo boxes: not here
    }
}

bool CreateItem(HWND dialog, HINSTANCE instance, const DialogItem& item, int baseX, int baseY) {
    LPCWSTR className = ItemClass(item);
    if (className == nullptr) {
        NKDbgPrintfW(u"dialog control %d: control class %d is not supported",
                     static_cast<int>(static_cast<short>(item.id)), item.classAtom);
        return false;
    }
    RECT rect = ToPixels(item.x, item.y, item.cx, item.cy, baseX, baseY);
    HWND control = CreateWindowExW(
        item.exStyle, className, item.textIsOrdinal ? u"" : item.text.c_str(),
        item.style | WS_CHILD, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
        dialog, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)), instance, nullptr);
    if (control == nullptr) {
        NKDbgPrintfW(u"dialog control %d could not be created",
                     static_cast<int>(static_cast<short>(item.id)));
        return false;
    }
    // An icon static shows the icon its text names, at the icon's own size.
    if (item.textIsOrdinal && (item.style & SS_TYPEMASK) == SS_ICON) {
        HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(item.textOrdinal));
        SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        int size = GetSystemMetrics(SM_CXICON);
        MoveWindow(control, rect.left, rect.top, size, size, FALSE);
    }
    return true;
}

// Where a dialog goes: relative to its parent's client area for a child, to
// its owner's client area for a popup (the screen with DS_ABSALIGN or without
// an owner), centred in the work area with DS_CENTER.
RECT DialogRect(const DialogTemplate& read, HWND parent, int baseX, int baseY) {
    RECT client = ToPixels(read.x, read.y, read.cx, read.cy, baseX, baseY);
    RECT rect = client;
    if ((read.style & WS_CAPTION) == WS_CAPTION) {
        rect.bottom += 26;
    }
    bool child = (read.style & WS_CHILD) != 0;
    if (!child && (read.style & DS_CENTER) != 0) {
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        LONG width = rect.right - rect.left;
        LONG height = rect.bottom - rect.top;
        LONG left = work.left + (work.right - work.left - width) / 2;
        LONG top = work.top + (work.bottom - work.top - height) / 2;
        return {left, top, left + width, top + height};
    }
    if (!child && parent != nullptr && (read.style & DS_ABSALIGN) == 0) {
        POINT origin{0, 0};
        ClientToScreen(parent, &origin);
        rect = {rect.left + origin.x, rect.top + origin.y, rect.right + origin.x,
                rect.bottom + origin.y};
    }
    return rect;
}

HWND CreateDialogFrame(HINSTANCE instance, const DialogTemplate& read, HWND parent,
                       DLGPROC procedure, bool modal) {
    int baseX = 0;
    int baseY = 0;
    BaseUnits(read.hasFont ? read.fontPoints : kSystemFontPoints, baseX, baseY);
    RECT rect = DialogRect(read, parent, baseX, baseY);
    LPCWSTR className = read.className.empty() ? kDialogClassName : read.className.c_str();
    HWND dialog =
        CreateWindowExW(read.exStyle, className, read.caption.c_str(), read.style & ~WS_VISIBLE,
                        rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                        nullptr, instance, nullptr);
    Window* window = WindowTable::Instance().Find(dialog);
    if (window == nullptr) {
        return nullptr;
    }
    DialogState state;
    state.procedure = procedure;
    state.baseUnitX = baseX;
    state.baseUnitY = baseY;
    state.fontPoints = read.hasFont ? read.fontPoints : kSystemFontPoints;
    state.fontName = read.hasFont ? read.fontName : u"System";
    state.modal = modal;
    window->dialog = state;
    return dialog;
}

// Runs WM_INITDIALOG and the default focus it may ask for.
void InitialiseDialog(HWND dialog, LPARAM initParam) {
    HWND firstStop = FirstTabStop(dialog);
    LRESULT wantsFocus =
        SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstStop), initParam);
    if (wantsFocus != 0 && IsWindow(dialog)) {
        // WM_INITDIALOG may have changed the controls: look again.
        if (HWND stop = FirstTabStop(dialog)) {
            SetFocus(stop);
        }
    }
}

void DisableOwner(HWND dialog) {
    Window* window = WindowTable::Instance().Find(dialog);
    HWND owner = window->owner;
    if (owner != nullptr && IsWindowEnabled(owner)) {
        window->dialog->disabledOwner = owner;
        EnableWindow(owner, FALSE);
    }
}

bool FocusInside(HWND dialog) {
    return IsSelfOrAncestor(dialog, GetFocus()) && GetFocus() != dialog;
}

// Focus goes back to the control that last had it, else to the first tab stop.
void RestoreFocus(HWND dialog, DialogState& state) {
    HWND target = IsChild(dialog, state.lastFocus) ? state.lastFocus : FirstTabStop(dialog);
    if (target != nullptr && !FocusInside(dialog)) {
        SetFocus(target);
    }
}

LRESULT DefaultDialogHandling(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = WindowTable::Instance().Find(dialog);
    switch (message) {
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            if (FocusInside(dialog)) {
                window->dialog->lastFocus = GetFocus();
            }
        } else {
            RestoreFocus(dialog, *window->dialog);
        }
        return 0;
    case WM_SETFOCUS:
        RestoreFocus(dialog, *window->dialog);
        return 0;
    case WM_CLOSE:
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        return 0;
    default:
        return DefWindowProcW(dialog, message, wParam, lParam);
    }
}

// The messages whose result the dialog procedure returns directly; for the
// others it stores the result in DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message) {
    constexpr UINT WM_CTLCOLORMSGBOX = 0x0132;
    constexpr UINT WM_CTLCOLORSTATIC = 0x0138;
    constexpr UINT WM_COMPAREITEM = 0x0039;
    constexpr UINT WM_VKEYTOITEM = 0x002E;
    constexpr UINT WM_CHARTOITEM = 0x002F;
    constexpr UINT WM_QUERYDRAGICON = 0x0037;
    return message == WM_INITDIALOG || message == WM_COMPAREITEM || message == WM_VKEYTOITEM ||
           message == WM_CHARTOITEM || message == WM_QUERYDRAGICON ||
           (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC);
}

} // namespace

HWND FirstTabStop(HWND dialog) {
    Window* window = WindowTable::Instance().Find(dialog);
    if (window == nullptr) {
        return nullptr;
    }
    for (HWND child : window->children) {
        Window* control = WindowTable::Instance().Find(child);
        if (control != nullptr && (control->style & WS_TABSTOP) != 0 &&
            (control->style & WS_VISIBLE) != 0 && (control->style & WS_DISABLED) == 0) {
            return child;
        }
    }
    return nullptr;
}

HWND CreateDialogWindow(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND parent,
                        DLGPROC procedure, LPARAM initParam, bool modal) {
    DialogTemplate read;
    if ((parent != nullptr && !IsWindow(parent)) || !ReadDialogTemplate(dialogTemplate, read)) {
        SetLastError(parent != nullptr && !IsWindow(parent) ? ERROR_INVALID_WINDOW_HANDLE
                                                            : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HWND dialog = CreateDialogFrame(instance, read, parent, procedure, modal);
    if (dialog == nullptr) {
        return nullptr;
    }
    Window* window = WindowTable::Instance().Find(dialog);
    for (const DialogItem& item : read.items) {
        if (!CreateItem(dialog, instance, item, window->dialog->baseUnitX,
                        window->dialog->baseUnitY)) {
            DestroyWindow(dialog);
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
    }
    if (modal) {
        DisableOwner(dialog);
    }
    InitialiseDialog(dialog, initParam);
    window = WindowTable::Instance().Find(dialog);
    if (window == nullptr) {
        return nullptr;
    }
    bool ended = window->dialog && window->dialog->ended;
    if (((read.style & WS_VISIBLE) != 0 || modal) && !ended) {
        ShowWindow(dialog, SW_SHOWNORMAL);
        UpdateWindow(dialog);
    }
    return IsWindow(dialog) ? dialog : nullptr;
}

LRESULT DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = WindowTable::Instance().Find(dialog);
    if (window == nullptr) {
        return 0;
    }
    if (!window->dialog) {
        return DefWindowProcW(dialog, message, wParam, lParam);
    }
    if (DLGPROC procedure = window->dialog->procedure) {
        // A result left from an earlier message must not answer this one.
        window->dialog->messageResult = 0;
        INT_PTR handled = procedure(dialog, message, wParam, lParam);
        window = WindowTable::Instance().Find(dialog);
        if (window == nullptr || !window->dialog) {
            return handled;
        }
        if (handled != 0) {
            return ReturnsDirectly(message) ? handled : window->dialog->messageResult;
        }
    }
    return DefaultDialogHandling(dialog, message, wParam, lParam);
}

} // namespace platform

using platform::Window;
using platform::WindowTable;

HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND parent,
                                DLGPROC procedure, LPARAM initParam) {
    return platform::CreateDialogWindow(instance, dialogTemplate, parent, procedure, initParam,
                                        false);
}

UINT GetDlgItemTextW(HWND dialog, int controlId, LPWSTR buffer, int capacity) {
    HWND control = GetDlgItem(dialog, controlId);
    if (control == nullptr) {
        if (buffer != nullptr && capacity > 0) {
            buffer[0] = u'\0';
        }
        return 0;
    }
    return static_cast<UINT>(GetWindowTextW(control, buffer, capacity));
}

BOOL SetDlgItemTextW(HWND dialog, int controlId, LPCWSTR text) {
    HWND control = GetDlgItem(dialog, controlId);
    return control != nullptr ? SetWindowTextW(control, text) : FALSE;
}

LRESULT SendDlgItemMessageW(HWND dialog, int controlId, UINT message, WPARAM wParam,
                            LPARAM lParam) {
    HWND control = GetDlgItem(dialog, controlId);
    return control != nullptr ? SendMessageW(control, message, wParam, lParam) : 0;
}

BOOL CheckDlgButton(HWND dialog, int controlId, UINT check) {
    HWND control = GetDlgItem(dialog, controlId);
    if (control == nullptr) {
        return FALSE;
    }
    SendMessageW(control, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int controlId) {
    return static_cast<UINT>(SendDlgItemMessageW(dialog, controlId, BM_GETCHECK, 0, 0));
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
    if (firstId > lastId || checkId < firstId || checkId > lastId) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (int id = firstId; id <= lastId; ++id) {
        if (HWND control = GetDlgItem(dialog, id)) {
            SendMessageW(control, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
    return TRUE;
}
