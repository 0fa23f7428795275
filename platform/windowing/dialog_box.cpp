// Modal dialogs: DialogBoxIndirectParamW runs a message loop of its own until
// EndDialog. Every message of the program goes through it meanwhile, so timers
// keep running (a reader goes on typing while the About dialog is open).
#include "platform/core/system.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window_table.h"

namespace platform {
namespace {

enum class LoopEnd { Ended, Destroyed, Quit, Failed };

LoopEnd RunModalLoop(HWND dialog) {
    while (true) {
        Window* window = WindowTable::Instance().Find(dialog);
        if (window == nullptr || window->destroying) {
            return LoopEnd::Destroyed;
        }
        if (window->dialog->ended) {
            return LoopEnd::Ended;
        }
        MSG message{};
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // The program is ending: the loop that called us must see the quit too.
            PostQuitMessage(static_cast<int>(message.wParam));
            return LoopEnd::Quit;
        }
        if (got == -1) {
            return LoopEnd::Failed;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Gives the owner back its input and the activation, then removes the dialog.
void FinishModal(HWND dialog) {
    Window* window = WindowTable::Instance().Find(dialog);
    HWND owner = window != nullptr ? window->owner : nullptr;
    if (window != nullptr && window->dialog && window->dialog->disabledOwner != nullptr) {
        EnableWindow(window->dialog->disabledOwner, TRUE);
        window = WindowTable::Instance().Find(dialog);
        if (window != nullptr) {
            window->dialog->disabledOwner = nullptr;
        }
    }
    if (window != nullptr) {
        DestroyWindow(dialog);
    }
    if (owner != nullptr && IsWindowVisible(owner)) {
        SetActiveWindow(owner);
    }
}

} // namespace
} // namespace platform

using platform::Window;
using platform::WindowTable;

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND owner,
                                DLGPROC procedure, LPARAM initParam) {
    HWND dialog =
        platform::CreateDialogWindow(instance, dialogTemplate, owner, procedure, initParam, true);
    if (dialog == nullptr) {
        return -1;
    }
    platform::LoopEnd end = platform::RunModalLoop(dialog);
    INT_PTR result = 0;
    if (end == platform::LoopEnd::Failed) {
        result = -1;
    } else if (Window* window = WindowTable::Instance().Find(dialog);
               window != nullptr && window->dialog->ended) {
        result = window->dialog->result;
    }
    platform::FinishModal(dialog);
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    Window* window = WindowTable::Instance().Find(dialog);
    if (window == nullptr || !window->dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    window->dialog->ended = true;
    window->dialog->result = result;
    bool modal = window->dialog->modal;
    HWND disabledOwner = window->dialog->disabledOwner;
    window->dialog->disabledOwner = nullptr;
    // The owner takes input again at once; the dialog disappears now and is
    // destroyed when its loop sees the end.
    if (disabledOwner != nullptr) {
        EnableWindow(disabledOwner, TRUE);
    }
    ShowWindow(dialog, SW_HIDE);
    if (modal) {
        // Wakes the modal loop when EndDialog came from outside a message.
        PostMessageW(dialog, WM_NULL, 0, 0);
    }
    return TRUE;
}
