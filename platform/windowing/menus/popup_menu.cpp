// Popup menu tracking. TrackPopupMenuEx shows the menu (to whoever observes it:
// a front end, the cross-process interface) and runs a message loop of its own
// until an item is chosen through ChoosePopupMenuItem or the menu is dismissed.
// The program's other messages and timers keep running meanwhile.
#include <optional>

#include "platform/core/system.h"
#include "platform/resources/resources.h"
#include "platform/windowing/menus/menus.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"

namespace platform {
namespace {

struct Tracking {
    PopupMenuView view;
    bool decided = false;
    UINT choice = 0;
};

std::optional<Tracking>& Current() {
    static std::optional<Tracking> tracking;
    return tracking;
}

std::function<void(const PopupMenuView*)>& Observer() {
    static std::function<void(const PopupMenuView*)> observer;
    return observer;
}

void Tell(const PopupMenuView* view) {
    if (Observer()) {
        Observer()(view);
    }
}

// Dispatches messages until the menu is decided; a quit or a vanished owner or
// menu dismisses it.
void RunTrackingLoop() {
    while (!Current()->decided) {
        MSG message{};
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));
        }
        if (got == 0 || got == -1) {
            Current()->decided = true;
            Current()->choice = 0;
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
        if (!IsWindow(Current()->view.owner) || !IsMenu(Current()->view.menu)) {
            Current()->decided = true;
            Current()->choice = 0;
        }
    }
}

} // namespace

bool HasEnabledCommand(const std::vector<MenuItemView>& items, UINT command) {
    for (const MenuItemView& item : items) {
        if ((item.flags & MF_POPUP) != 0) {
            if (HasEnabledCommand(item.submenu, command)) {
                return true;
            }
        } else if ((item.flags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED)) == 0 &&
                   item.command == command) {
            return true;
        }
    }
    return false;
}

bool OpenPopupMenu(PopupMenuView* view) {
    if (!Current()) {
        return false;
    }
    if (view != nullptr) {
        *view = Current()->view;
    }
    return true;
}

bool ChoosePopupMenuItem(UINT command) {
    if (!Current() || Current()->decided) {
        return false;
    }
    if (command != 0 && !HasEnabledCommand(Current()->view.items, command)) {
        return false;
    }
    Current()->decided = true;
    Current()->choice = command;
    // Wakes the tracking loop when the choice came from outside a message.
    PostMessageW(Current()->view.owner, WM_NULL, 0, 0);
    return true;
}

void SetPopupMenuObserver(std::function<void(const PopupMenuView*)> observer) {
    Observer() = std::move(observer);
}

} // namespace platform

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS) {
    if (!IsMenu(menu) || !IsWindow(owner)) {
        SetLastError(!IsMenu(menu) ? ERROR_INVALID_MENU_HANDLE : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    auto& current = platform::Current();
    if (current) {
        return FALSE; // one popup at a time
    }
    current.emplace();
    current->view = {menu, owner, flags, x, y, platform::ViewMenu(menu)};
    platform::Tell(&current->view);
    platform::RunTrackingLoop();
    UINT choice = current->choice;
    current.reset();
    platform::Tell(nullptr);
    if (choice == 0) {
        return FALSE;
    }
    if ((flags & TPM_RETURNCMD) != 0) {
        return static_cast<BOOL>(choice);
    }
    PostMessageW(owner, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(choice), 0), 0);
    return TRUE;
}
