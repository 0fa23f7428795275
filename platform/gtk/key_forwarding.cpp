#include "platform/keyboard/keyboard.h"
#include "platform/windowing/key_state.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"

#include "platform/gtk/key_forwarding.h"

#include <map>

namespace platform::gtk_front_end {
namespace {

constexpr char16_t kKeyWindowClass[] = u"SwipetypeGtkKeys";
// wParam: the virtual key (0: every key); lParam: 1 pressed, 0 released.
constexpr UINT kModifierChanged = WM_USER + 0x3C1;

struct Forwarding {
    HWND window = nullptr;
    bool registered = false;
    std::map<UINT, HWND> pressed; // keys whose WM_KEYDOWN went out, and to whom
};

Forwarding& State() {
    static Forwarding state;
    return state;
}

LRESULT KeyWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kModifierChanged) {
        if (wParam == 0) {
            ReleaseAllKeys();
        } else {
            SetKeyDown(static_cast<UINT>(wParam), lParam != 0);
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool IsModifier(UINT virtualKey) {
    return virtualKey == VK_SHIFT || virtualKey == VK_CONTROL || virtualKey == VK_MENU;
}

HWND KeyTarget() {
    HWND focus = GetFocus();
    return focus != nullptr ? focus : GetActiveWindow();
}

gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer) {
    Forwarding& state = State();
    bool down = event->type == GDK_KEY_PRESS;
    UINT virtualKey = VirtualKeyOf(event->keyval);
    if (virtualKey == 0 || state.window == nullptr) {
        return FALSE;
    }
    if (IsModifier(virtualKey)) {
        PostMessageW(state.window, kModifierChanged, virtualKey, down ? 1 : 0);
        return FALSE;
    }
    bool chord = (event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) != 0;
    if (down && chord) {
        HWND target = KeyTarget();
        if (target != nullptr) {
            PostMessageW(target, WM_KEYDOWN, virtualKey, 1);
            state.pressed[virtualKey] = target;
        }
    } else if (!down) {
        auto found = state.pressed.find(virtualKey);
        if (found != state.pressed.end()) {
            if (IsWindow(found->second)) {
                PostMessageW(found->second, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001));
            }
            state.pressed.erase(found);
        }
    }
    // GTK handles the key too: the device's edit box would take Ctrl+A as nothing
    // more than the accelerator's command, and so does the program here.
    return FALSE;
}

// Keys held when the window lost the keyboard are released for the program too.
gboolean OnFocusOut(GtkWidget*, GdkEvent*, gpointer) {
    if (State().window != nullptr) {
        PostMessageW(State().window, kModifierChanged, 0, 0);
    }
    State().pressed.clear();
    return FALSE;
}

} // namespace

UINT VirtualKeyOf(guint keyval) {
    guint upper = gdk_keyval_to_upper(keyval);
    if ((upper >= GDK_KEY_A && upper <= GDK_KEY_Z) || (upper >= GDK_KEY_0 && upper <= GDK_KEY_9)) {
        return upper; // the device's codes for letters and digits are their ASCII
    }
    switch (keyval) {
    case GDK_KEY_Shift_L:
    case GDK_KEY_Shift_R:
        return VK_SHIFT;
    case GDK_KEY_Control_L:
    case GDK_KEY_Control_R:
        return VK_CONTROL;
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R:
    case GDK_KEY_Meta_L:
    case GDK_KEY_Meta_R:
        return VK_MENU;
    case GDK_KEY_BackSpace:
        return VK_BACK;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
        return VK_TAB;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
        return VK_RETURN;
    case GDK_KEY_Escape:
        return VK_ESCAPE;
    case GDK_KEY_space:
        return VK_SPACE;
    default:
        return 0;
    }
}

HWND StartKeyForwarding() {
    Forwarding& state = State();
    if (state.window != nullptr && IsWindow(state.window)) {
        return state.window;
    }
    if (!state.registered) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = KeyWindowProcedure;
        windowClass.lpszClassName = kKeyWindowClass;
        state.registered = RegisterClassW(&windowClass) != 0;
    }
    state.window = CreateWindowExW(0, kKeyWindowClass, u"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                   nullptr, nullptr);
    return state.window;
}

void StopKeyForwarding() {
    Forwarding& state = State();
    if (state.window != nullptr && IsWindow(state.window)) {
        DestroyWindow(state.window);
    }
    state.window = nullptr;
    state.pressed.clear();
}

void ForwardKeys(GtkWidget* window) {
    g_signal_connect(window, "key-press-event", G_CALLBACK(OnKey), nullptr);
    g_signal_connect(window, "key-release-event", G_CALLBACK(OnKey), nullptr);
    g_signal_connect(window, "focus-out-event", G_CALLBACK(OnFocusOut), nullptr);
}

} // namespace platform::gtk_front_end
