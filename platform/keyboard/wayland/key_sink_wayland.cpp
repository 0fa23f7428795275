#include "platform/keyboard/wayland/key_sink_wayland.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>

#include "platform/core/errors.h"
#include "platform/core/system.h"
#include "platform/core/unique_fd.h"
#include "platform/keyboard/key_delay.h"
#include "platform/keyboard/keyboard.h"
#include "platform/keyboard/wayland/virtual_keymap.h"
#include "platform/keyboard/xkb/key_symbols.h"
#include "platform/keyboard/xkb/wayland_connection.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

// How long the compositor may take to answer at start, or to make room for
// requests while typing, before the connection is given up.
constexpr auto kAnswerTime = 2000ms;
// XKB numbers keys from 8 upwards; the protocol's key codes start at 0.
constexpr xkb_keycode_t kEvdevOffset = 8;
// Requests held before they are sent anyway: libwayland-client's buffer takes
// 4096 bytes, a key request 20.
constexpr std::size_t kLargestBatch = 128;

template <typename Proxy, void (*Destroy)(Proxy*)> struct ProxyDeleter {
    void operator()(Proxy* proxy) const { Destroy(proxy); }
};
template <typename Proxy, void (*Destroy)(Proxy*)>
using ProxyPtr = std::unique_ptr<Proxy, ProxyDeleter<Proxy, Destroy>>;

using RegistryPtr = ProxyPtr<wl_registry, wl_registry_destroy>;
using SeatPtr = ProxyPtr<wl_seat, wl_seat_destroy>;
using ManagerPtr =
    ProxyPtr<zwp_virtual_keyboard_manager_v1, zwp_virtual_keyboard_manager_v1_destroy>;
using KeyboardPtr = ProxyPtr<zwp_virtual_keyboard_v1, zwp_virtual_keyboard_v1_destroy>;

// The globals a virtual keyboard needs: the manager and a seat.
struct Globals {
    RegistryPtr registry;
    SeatPtr seat;
    ManagerPtr manager;
};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0 &&
        !globals->manager) {
        globals->manager.reset(static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1)));
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !globals->seat) {
        globals->seat.reset(
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1)));
    }
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener RegistryListener{OnGlobal, OnGlobalRemove};

// Connects and learns the globals; false with `error` set when the compositor
// lacks one.
bool FindGlobals(WaylandDisplayPtr& display, Globals& globals, std::string& error) {
    display = ConnectToCompositor(error);
    if (!display) {
        return false;
    }
    globals.registry.reset(wl_display_get_registry(display.get()));
    if (!globals.registry ||
        wl_registry_add_listener(globals.registry.get(), &RegistryListener, &globals) != 0 ||
        !RoundTrip(display.get(), kAnswerTime)) {
        error = "the Wayland compositor " + CompositorName() + " does not answer";
        return false;
    }
    if (!globals.manager) {
        error = "the Wayland compositor " + CompositorName() +
                " does not offer the virtual keyboard protocol (zwp_virtual_keyboard_manager_v1)";
        return false;
    }
    if (!globals.seat) {
        error = "the Wayland compositor " + CompositorName() + " has no seat";
        return false;
    }
    return true;
}

// A keymap as the protocol hands it over: a sealed memory file holding the text
// and its terminating zero.
UniqueFd KeymapFile(const std::string& text, std::string& error) {
    UniqueFd file(memfd_create("swipetype-keymap", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!file.Valid()) {
        error = std::string("memfd_create: ") + ErrorText();
        return file;
    }
    std::size_t size = text.size() + 1;
    if (ftruncate(file.Get(), static_cast<off_t>(size)) != 0 ||
        pwrite(file.Get(), text.c_str(), size, 0) != static_cast<ssize_t>(size)) {
        error = std::string("writing the keymap: ") + ErrorText();
        file.Reset();
        return file;
    }
    fcntl(file.Get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
    return file;
}

std::uint32_t Milliseconds() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

class WaylandKeySink final : public KeySink {
  public:
    WaylandKeySink(WaylandDisplayPtr display, Globals globals)
        : display_(std::move(display)), globals_(std::move(globals)), name_(CompositorName()) {
        // The registry's listener keeps writing into the globals as they come and go.
        wl_registry_set_user_data(globals_.registry.get(), &globals_);
    }

    // Makes the keyboard and hands over its first keymap; false with `error` set.
    bool Start(std::string& error) {
        keyboard_.reset(zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
            globals_.manager.get(), globals_.seat.get()));
        if (!keyboard_ || !SendKeymap(error)) {
            return false;
        }
        if (!RoundTrip(display_.get(), kAnswerTime)) {
            error = "the Wayland compositor " + name_ + " refused a virtual keyboard";
            return false;
        }
        return true;
    }

    bool Post(const KeyEvent& event) override {
        if (lost_) {
            return false;
        }
        bool typed = PostKeyDown(
            event, joiner_, [this](char32_t character) { return TypeCharacter(character); },
            [this](UINT virtualKey) { return PressBareKey(virtualKey); });
        return typed && !lost_;
    }

    std::string Name() const override { return "wayland"; }
    std::string Target() const override { return "the Wayland compositor " + name_; }
    bool Lost() const override { return lost_; }
    int EventDescriptor() const override { return lost_ ? -1 : wl_display_get_fd(display_.get()); }
    short WaitEvents() const override { return unsent_ > 0 ? POLLIN | POLLOUT : POLLIN; }
    void Service(short ready) override {
        if ((ready & POLLIN) != 0 && !lost_ && !DispatchArrived(display_.get())) {
            Lose();
        }
        if (unsent_ > 0 && !lost_) {
            Send(std::chrono::milliseconds(0));
        }
    }

  private:
    bool TypeCharacter(char32_t character) {
        xkb_keysym_t keysym = KeysymForCharacter(character);
        if (keysym == XKB_KEY_NoSymbol) {
            NKDbgPrintfW(u"wayland: %s has no key on any keyboard; not typed",
                         CharacterClassName(character));
            return false;
        }
        return Press(keysym);
    }

    bool PressBareKey(UINT virtualKey) {
        xkb_keysym_t keysym = KeysymForVirtualKey(virtualKey);
        if (keysym == XKB_KEY_NoSymbol) {
            NKDbgPrintfW(u"wayland: virtual key 0x%02X names no key here; not pressed", virtualKey);
            return false;
        }
        return Press(keysym);
    }

    // Presses and releases the key that gives the keysym, giving it one first
    // when the keymap lacks it.
    bool Press(xkb_keysym_t keysym) {
        std::optional<xkb_keycode_t> key = keymap_.KeyFor(keysym);
        if (!key) {
            key = keymap_.Add(keysym);
            keymapSent_ = false;
        }
        if (!keymapSent_) {
            std::string error;
            if (!SendKeymap(error)) {
                DebugLine("wayland: " + error);
                return false;
            }
        }
        for (auto state : {WL_KEYBOARD_KEY_STATE_PRESSED, WL_KEYBOARD_KEY_STATE_RELEASED}) {
            pacer_.BeforeEvent();
            zwp_virtual_keyboard_v1_key(keyboard_.get(), Milliseconds(), *key - kEvdevOffset,
                                        state);
            ++unsent_;
            // A pause between events means nothing unless each is sent.
            if ((KeyDelay().count() > 0 || unsent_ >= kLargestBatch) && !Send(kAnswerTime)) {
                return false;
            }
        }
        return true;
    }

    // Sends the requests written so far, waiting up to `limit` for room in the
    // socket. False when the connection is lost; with no time to wait and no
    // room, true with the requests still held.
    bool Send(std::chrono::milliseconds limit) {
        if (limit.count() == 0) {
            if (wl_display_flush(display_.get()) >= 0 &&
                wl_display_get_error(display_.get()) == 0) {
                unsent_ = 0;
            } else if (errno != EAGAIN || wl_display_get_error(display_.get()) != 0) {
                Lose();
            }
            return !lost_;
        }
        if (!FlushRequests(display_.get(), limit)) {
            Lose();
            return false;
        }
        unsent_ = 0;
        return true;
    }

    bool SendKeymap(std::string& error) {
        std::string text = keymap_.Text(error);
        UniqueFd file = text.empty() ? UniqueFd() : KeymapFile(text, error);
        if (!file.Valid()) {
            return false;
        }
        // The request takes a copy of the descriptor when it is written, and goes
        // at once: libwayland-client holds few descriptors unsent.
        zwp_virtual_keyboard_v1_keymap(keyboard_.get(), WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1,
                                       file.Get(), static_cast<std::uint32_t>(text.size() + 1));
        ++unsent_;
        keymapSent_ = Send(kAnswerTime);
        if (!keymapSent_) {
            error = "the keymap cannot be sent to the Wayland compositor " + name_;
        }
        return keymapSent_;
    }

    void Lose() { lost_ = true; }

    WaylandDisplayPtr display_; // declared first, so disconnected after its proxies
    Globals globals_;
    KeyboardPtr keyboard_;
    std::string name_;
    VirtualKeymap keymap_;
    KeyPacer pacer_;
    SurrogateJoiner joiner_;
    std::size_t unsent_ = 0; // requests written but not sent
    bool keymapSent_ = false;
    bool lost_ = false;
};

bool ProbeWayland(const KeySinkSettings&, std::string& reason) {
    WaylandDisplayPtr display;
    Globals globals;
    return FindGlobals(display, globals, reason);
}

std::unique_ptr<KeySink> MakeWayland(const KeySinkSettings&, std::string& error) {
    return MakeWaylandKeySink(error);
}

} // namespace

std::unique_ptr<KeySink> MakeWaylandKeySink(std::string& error) {
    WaylandDisplayPtr display;
    Globals globals;
    if (!FindGlobals(display, globals, error)) {
        return nullptr;
    }
    auto sink = std::make_unique<WaylandKeySink>(std::move(display), std::move(globals));
    if (!sink->Start(error)) {
        return nullptr;
    }
    return sink;
}

const KeySinkFactory key_sink_factories::wayland{ProbeWayland, MakeWayland};

} // namespace platform
