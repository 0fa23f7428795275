// The entry point: create the main window (or hand over to the instance that
// runs), then run the message loop until the quit message.
#include "app/main_window.h"

#include "app/startup_file_format.h"
#include "platform/resources/resources.h"
#include "platform/windowing/menus/accelerators.h"
#include "platform/windowing/messages.h"
#include <string_view>

namespace {

bool IsExactlyMin(LPCWSTR commandLine) {
    return commandLine != nullptr && std::u16string_view(commandLine) == startup_file::kHiddenStart;
}

} // namespace

int WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPWSTR commandLine, int showCommand) {
    if (CreateMainWindow(instance, showCommand) == FALSE) {
        return 0;
    }
    if (IsExactlyMin(commandLine)) {
        StartHidden = 1;
    }
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) != 0) {
        if (TranslateAcceleratorW(message.hwnd, accelerators, &message) == 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
