// Painting. This window system has no pixels of its own: what a window draws is
// kept as a list of drawing operations (the texts of DrawTextW with their
// rectangles and formats) that a front end renders. A paint between BeginPaint
// and EndPaint replaces the window's list when it ends; drawing through GetDC
// adds to the list at once.
#pragma once

#include <string>

#include "platform/core/types.h"

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

// DrawTextW formats.
constexpr UINT DT_TOP = 0x0000;
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;

// Stock objects of GetStockObject.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int SYSTEM_FONT = 13;

// Starts painting a window: fills `paint` (rcPaint is the whole client area) and
// returns the device context to draw with, or null for a window that is no window.
// The window counts as painted from here on.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
// Ends the paint: what was drawn since BeginPaint becomes what the window shows.
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC context);

// Draws `text` (count -1: up to its terminator) in `rect` with `format`. Returns
// the height of the text in pixels (0 on failure). With DT_CALCRECT nothing is
// drawn; the rectangle's right and bottom are set to fit the text.
int DrawTextW(HDC context, LPCWSTR text, int count, RECT* rect, UINT format);

// Marks a window as needing a paint (the whole client area; `rect` and `erase`
// are accepted and not distinguished). A visible window then gets one WM_PAINT
// from the message loop.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
// Sends WM_PAINT at once when the window is visible and needs painting.
BOOL UpdateWindow(HWND window);

HGDIOBJ GetStockObject(int object);

namespace platform {

// One drawing operation, as a front end renders it. Coordinates are in the
// window's client area.
struct DrawnText {
    std::u16string text;
    RECT rect{};
    UINT format = 0;
};

} // namespace platform
