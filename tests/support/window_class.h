// Registers a window class of the test process the first time a test asks for
// it; later asks find it registered (classes live as long as the process).
#pragma once

#include <set>
#include <string>

#include "platform/windowing/window.h"

namespace test_support {

inline bool RegisterTestClass(const char16_t* name, WNDPROC procedure, int extraBytes = 0,
                              HBRUSH background = nullptr) {
    static std::set<std::u16string> registered;
    if (registered.contains(name)) {
        return true;
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.cbWndExtra = extraBytes;
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    if (RegisterClassW(&windowClass) == 0) {
        return false;
    }
    registered.insert(name);
    return true;
}

} // namespace test_support
