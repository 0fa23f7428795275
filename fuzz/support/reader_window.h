// The window the readers' poll timers belong to (the options dialog in the
// program): one plain window for the whole fuzzing run. Its controls do not
// exist, so output composition keeps the texts the target put in Settings.
#pragma once

#include "platform/windowing/window.h"

namespace fuzz {

inline HWND ReaderWindow() {
    static HWND window = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.lpszClassName = u"FuzzReaderWindow";
        RegisterClassW(&windowClass);
        return CreateWindowExW(0, u"FuzzReaderWindow", u"", 0, 0, 0, 100, 100, nullptr, nullptr,
                               nullptr, nullptr);
    }();
    return window;
}

} // namespace fuzz
