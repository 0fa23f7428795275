// Inside the window system: the table of windows and registered classes. Only
// platform files include this; the application sees handles and messages, front
// ends and tests see platform/windowing/window_view.h.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/windowing/dialogs.h"
#include "platform/windowing/painting.h"
#include "platform/windowing/window.h"

namespace platform {

// What a dialog window keeps beyond an ordinary window.
struct DialogState {
    DLGPROC procedure = nullptr;
    LONG_PTR messageResult = 0; // DWLP_MSGRESULT
    LONG_PTR user = 0;          // DWLP_USER
    int baseUnitX = 0;          // pixels per 4 horizontal dialog units
    int baseUnitY = 0;          // pixels per 8 vertical dialog units
    WORD fontPoints = 0;
    std::u16string fontName;
    HWND lastFocus = nullptr; // the control that had the focus when it was deactivated
    bool modal = false;
    HWND disabledOwner = nullptr; // the owner a modal dialog disabled, to enable again
    bool ended = false;           // EndDialog was called
    INT_PTR result = 0;
};

struct Window {
    HWND handle = nullptr;
    std::u16string className; // as registered, for messages
    WNDPROC procedure = nullptr;
    HINSTANCE instance = nullptr;
    DWORD style = 0; // WS_VISIBLE and WS_DISABLED are the window's own state
    DWORD exStyle = 0;
    int controlId = 0;
    HWND parent = nullptr;      // of a child window
    HWND owner = nullptr;       // of a top-level window
    std::vector<HWND> children; // in creation order, which is the tab order
    std::u16string text;
    RECT rect{}; // relative to the parent's client area, or the screen when top-level
    bool minimized = false;
    std::vector<BYTE> extraBytes; // the class's cbWndExtra
    LONG_PTR userData = 0;
    bool destroying = false; // WM_DESTROY sent; the handle is still valid

    // Painting: the texts drawn by the last completed paint, and the paint under way.
    bool needsPaint = true;
    bool paintPosted = false;
    bool painting = false;
    std::vector<DrawnText> painted;
    std::vector<DrawnText> drawing;

    // Controls.
    WPARAM checkState = BST_UNCHECKED;
    bool pushed = false;
    HICON icon = nullptr;           // an icon static's picture
    std::size_t textLimit = 0;      // an edit control's limit; 0 is the default
    std::size_t selectionStart = 0; // an edit control's selection; the caret is at its end
    std::size_t selectionEnd = 0;

    std::optional<DialogState> dialog;
};

struct WindowClass {
    std::u16string name;
    WNDPROC procedure = nullptr;
    HINSTANCE instance = nullptr;
    UINT style = 0;
    HICON icon = nullptr;
    HBRUSH background = nullptr;
    int extraBytes = 0;
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

    // Every window, in creation order.
    std::vector<HWND> Handles() const;

    HWND focus = nullptr;  // the window with the keyboard focus
    HWND active = nullptr; // the active top-level window

  private:
    WindowTable();
    static std::u16string Key(std::u16string_view name);

    std::map<UINT_PTR, Window> windows_;
    std::map<std::u16string, WindowClass> classes_;
    UINT_PTR nextHandle_ = 0x10010;
};

// The procedures of the built-in classes.
LRESULT ButtonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT EditProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT StaticProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Tells a control's parent of an event: WM_COMMAND with the control's id and
// `code` in wParam and the control in lParam.
void NotifyParent(HWND control, WORD code);

// True for the built-in control classes, whose look a front end draws from their
// state rather than from painting.
bool IsControlClass(std::u16string_view className);

// The top-level window that a window belongs to (itself when top-level).
HWND TopLevelOf(HWND window);
// True when `ancestor` is `window` or one of its parents.
bool IsSelfOrAncestor(HWND ancestor, HWND window);

// Creates a dialog from a template: see CreateDialogIndirectParamW. A modal
// dialog disables its owner before WM_INITDIALOG and is shown whatever its
// template's WS_VISIBLE says, unless it ended during WM_INITDIALOG.
HWND CreateDialogWindow(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND parent,
                        DLGPROC procedure, LPARAM initParam, bool modal);

// The first control of a dialog that takes the focus by tabbing: visible,
// enabled and with WS_TABSTOP; null when there is none.
HWND FirstTabStop(HWND dialog);

// Window-system steps that several calls share.
void OnWindowDestroyed(HWND window); // focus and activation leave a dying window
void RequestPaint(HWND window);      // posts WM_PAINT once for a visible, invalid window

} // namespace platform
