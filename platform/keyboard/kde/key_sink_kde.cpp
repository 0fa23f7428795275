#include "platform/keyboard/kde/key_sink_kde.h"

#include <cstring>
#include <linux/input-event-codes.h>

#include "platform/core/system.h"
#include "platform/keyboard/keyboard.h"
#include "platform/keyboard/xkb/key_symbols.h"
#include "platform/keyboard/xkb/session_keymap.h"
#include "platform/keyboard/xkb/wayland_connection.h"

#include "fake-input-client-protocol.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

// How long KWin may take to take the keys sent.
constexpr auto kAnswerTime = 2000ms;
// How long it may take to answer a new connection: it looks the program up
// among the desktop files (rebuilding its cache of them when they changed) and
// reads the whole executable before it says which interfaces it offers.
constexpr auto kFirstAnswerTime = 10000ms;
// XKB numbers keys from 8 upwards; fake input takes Linux input codes.
constexpr xkb_keycode_t kEvdevOffset = 8;
// keyboard_key came with version 4 of the interface.
constexpr uint32_t kKeyboardVersion = 4;
constexpr uint32_t kReleased = 0;
constexpr uint32_t kPressed = 1;

struct RegistryDeleter {
    void operator()(wl_registry* registry) const { wl_registry_destroy(registry); }
};
struct FakeInputDeleter {
    void operator()(org_kde_kwin_fake_input* input) const {
        org_kde_kwin_fake_input_destroy(input);
    }
};

struct Globals {
    std::unique_ptr<wl_registry, RegistryDeleter> registry;
    std::unique_ptr<org_kde_kwin_fake_input, FakeInputDeleter> input;
    uint32_t version = 0;
};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && !globals->input) {
        globals->version = std::min(version, kKeyboardVersion);
        globals->input.reset(static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(
            registry, name, &org_kde_kwin_fake_input_interface, globals->version)));
    }
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener RegistryListener{OnGlobal, OnGlobalRemove};

// Connects and binds fake input; false with `error` set when KWin does not
// offer it to this program.
bool FindFakeInput(WaylandDisplayPtr& display, Globals& globals, std::string& error) {
    display = ConnectToCompositor(error);
    if (!display) {
        return false;
    }
    globals.registry.reset(wl_display_get_registry(display.get()));
    if (!globals.registry ||
        wl_registry_add_listener(globals.registry.get(), &RegistryListener, &globals) != 0 ||
        !RoundTrip(display.get(), kFirstAnswerTime)) {
        error = "the Wayland compositor " + CompositorName() + " does not answer";
        return false;
    }
    if (!globals.input) {
        error = "the Wayland compositor " + CompositorName() +
                " does not offer KWin's fake input (org_kde_kwin_fake_input) to this program: "
                "KWin grants it to a program whose desktop file says "
                "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input";
        return false;
    }
    if (globals.version < kKeyboardVersion) {
        error = "the Wayland compositor " + CompositorName() +
                " offers fake input without keys (version " + std::to_string(globals.version) + ")";
        return false;
    }
    return true;
}

class KdeKeySink final : public KeySink {
  public:
    KdeKeySink(WaylandDisplayPtr display, Globals globals, std::unique_ptr<SessionKeymap> keymap)
        : display_(std::move(display)), globals_(std::move(globals)), keymap_(std::move(keymap)),
          name_(CompositorName()) {}

    ~KdeKeySink() override {
        // The input goes before the connection it lives on.
        globals_.input.reset();
        globals_.registry.reset();
    }

    bool Post(const KeyEvent& event) override {
        if (lost_) {
            return false;
        }
        keymap_->Follow();
        bool typed = PostKeyDown(
            event, joiner_, [this](char32_t character) { return TypeCharacter(character); },
            [this](UINT virtualKey) { return PressBareKey(virtualKey); });
        return typed && !lost_;
    }

    std::string Name() const override { return "kde"; }
    std::string Target() const override {
        return "KWin's fake input on " + name_ + ", typing for " + keymap_->Describe();
    }
    bool Lost() const override { return lost_; }
    int EventDescriptor() const override { return lost_ ? -1 : wl_display_get_fd(display_.get()); }
    void Service(short ready) override {
        if ((ready & POLLIN) != 0 && !lost_ && !DispatchArrived(display_.get())) {
            Lose();
        }
    }

    bool CanType(char32_t character, std::string& why) override {
        keymap_->Follow();
        if (keymap_->CanType(character, {})) {
            return true;
        }
        std::u16string_view kind = CharacterClassName(character); // ASCII words
        why = std::string(kind.begin(), kind.end()) + ": " + keymap_->Describe() +
              " has no key for it";
        return false;
    }

  private:
    bool TypeCharacter(char32_t character) {
        std::vector<KeyChord> chords = keymap_->Chords(character, {});
        if (chords.empty()) {
            NKDbgPrintfW(u"kde: %S has no key for %s; not typed", keymap_->Describe().c_str(),
                         CharacterClassName(character));
            return false;
        }
        return Press(chords);
    }

    bool PressBareKey(UINT virtualKey) {
        xkb_keysym_t keysym = KeysymForVirtualKey(virtualKey);
        std::optional<KeyChord> chord;
        if (keysym != XKB_KEY_NoSymbol) {
            chord = keymap_->Finder().Find(keysym, {});
            if (!chord) {
                chord = keymap_->Finder().FindKey(keysym, 0);
            }
        }
        if (!chord) {
            NKDbgPrintfW(u"kde: %S has no key for virtual key 0x%02X; not pressed",
                         keymap_->Describe().c_str(), virtualKey);
            return false;
        }
        return Press({*chord});
    }

    void Key(xkb_keycode_t key, uint32_t state) {
        org_kde_kwin_fake_input_keyboard_key(globals_.input.get(), key - kEvdevOffset, state);
    }

    // Presses the chords in order, then lets KWin catch up every few keys.
    bool Press(const std::vector<KeyChord>& chords) {
        for (const KeyChord& chord : chords) {
            for (xkb_keycode_t modifier : chord.modifiers) {
                Key(modifier, kPressed);
            }
            Key(chord.key, kPressed);
            Key(chord.key, kReleased);
            for (auto modifier = chord.modifiers.rbegin(); modifier != chord.modifiers.rend();
                 ++modifier) {
                Key(*modifier, kReleased);
            }
            if (++unpaced_ >= KdeKeysPerRoundTrip) {
                unpaced_ = 0;
                if (!RoundTrip(display_.get(), kAnswerTime)) {
                    Lose();
                    return false;
                }
            } else if (!FlushRequests(display_.get(), kAnswerTime)) {
                Lose();
                return false;
            }
        }
        return true;
    }

    void Lose() {
        if (!lost_) {
            lost_ = true;
            NKDbgPrintfW(u"kde: the connection to %S is lost", name_.c_str());
        }
    }

    WaylandDisplayPtr display_;
    Globals globals_;
    std::unique_ptr<SessionKeymap> keymap_;
    std::string name_;
    SurrogateJoiner joiner_;
    unsigned int unpaced_ = 0;
    bool lost_ = false;
};

bool ProbeKde(const KeySinkSettings&, std::string& reason) {
    WaylandDisplayPtr display;
    Globals globals;
    bool offered = FindFakeInput(display, globals, reason);
    globals.input.reset();
    globals.registry.reset();
    return offered;
}

std::unique_ptr<KeySink> MakeKde(const KeySinkSettings& settings, std::string& error) {
    return MakeKdeKeySink(settings.layout, error);
}

} // namespace

std::unique_ptr<KeySink> MakeKdeKeySink(const std::string& layout, std::string& error) {
    WaylandDisplayPtr display;
    Globals globals;
    if (!FindFakeInput(display, globals, error)) {
        globals.input.reset();
        globals.registry.reset();
        return nullptr;
    }
    // KWin makes the fake keyboard when the program has said who it is; a seat
    // without any other keyboard (a kiosk, a virtual output) hands out its
    // keymap only from then on.
    org_kde_kwin_fake_input_authenticate(globals.input.get(), "Swipetype",
                                         "types what a card reader reads");
    if (!RoundTrip(display.get(), kAnswerTime)) {
        error = "the Wayland compositor " + CompositorName() + " does not answer";
        globals.input.reset();
        globals.registry.reset();
        return nullptr;
    }
    SessionKeymapSettings where;
    where.layoutOverride = layout;
    std::unique_ptr<SessionKeymap> keymap = SessionKeymap::Find(where, error);
    if (!keymap) {
        globals.input.reset();
        globals.registry.reset();
        return nullptr;
    }
    auto sink =
        std::make_unique<KdeKeySink>(std::move(display), std::move(globals), std::move(keymap));
    return sink;
}

const KeySinkFactory key_sink_factories::kde{ProbeKde, MakeKde};

} // namespace platform
