#include "platform/windowing/foreign_windows.h"

namespace platform {
namespace {

ForeignWindows*& Registered() {
    static ForeignWindows* registered = nullptr;
    return registered;
}

} // namespace

void SetForeignWindows(ForeignWindows* windows) {
    Registered() = windows;
}

ForeignWindows* ForeignWindowsOf(HWND window) {
    ForeignWindows* registered = Registered();
    return registered != nullptr && registered->Owns(window) ? registered : nullptr;
}

ForeignWindows* RegisteredForeignWindows() {
    return Registered();
}

} // namespace platform
