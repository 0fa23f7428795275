#include "platform/keyboard/x11/key_sink_xtest.h"

#include <optional>
#include <set>
#include <vector>

#include <X11/XKBlib.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <xkbcommon/xkbcommon-x11.h>

#include "platform/core/system.h"
#include "platform/keyboard/key_delay.h"
#include "platform/keyboard/keyboard.h"
#include "platform/keyboard/x11/x_spare_keycodes.h"
#include "platform/keyboard/xkb/key_symbols.h"
#include "platform/keyboard/xkb/xkb_keymap.h"

namespace platform {
namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// Xlib ends the process when a connection breaks, unless the process-wide I/O
// error handler returns. Ours returns for the sinks' own connections (their
// exit handler then marks them lost) and hands every other connection to the
// handler that was there before, so other Xlib users keep their behaviour.
std::set<Display*>& SinkDisplays() {
    static std::set<Display*> displays;
    return displays;
}

XIOErrorHandler& PreviousIOErrorHandler() {
    static XIOErrorHandler previous = nullptr;
    return previous;
}

int OnIOError(Display* display) {
    if (SinkDisplays().contains(display)) {
        return 0;
    }
    XIOErrorHandler previous = PreviousIOErrorHandler();
    return previous != nullptr ? previous(display) : 0;
}

void WatchConnection(Display* display) {
    static bool installed = false;
    if (!installed) {
        installed = true;
        PreviousIOErrorHandler() = XSetIOErrorHandler(&OnIOError);
    }
    SinkDisplays().insert(display);
}

enum class Stroke { Typed, NoKey, Lost };

// The lock state to type a chord in, and how it differs from the server's.
struct TypingState {
    KeyboardLocks locks;
    bool clearLocks = false;
    std::optional<int> switchGroup;
};

class XTestKeySink final : public KeySink {
  public:
    XTestKeySink(DisplayPtr display, std::string label, int xkbEventBase, XkbContextPtr context,
                 int32_t device)
        : display_(std::move(display)), label_(std::move(label)), xkbEventBase_(xkbEventBase),
          context_(std::move(context)), device_(device), spare_(display_.get()) {
        WatchConnection(display_.get());
        XSetIOErrorExitHandler(display_.get(), &XTestKeySink::ConnectionLost, this);
        // Keep typing while another client grabs the server.
        XTestGrabControl(display_.get(), True);
        XkbSelectEvents(display_.get(), XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                        XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    }

    ~XTestKeySink() override {
        if (!lost_) {
            // Bindings that a new layout replaced must not be "restored" over it.
            FollowKeymapChanges();
        } else {
            spare_.Forget();
        }
        SinkDisplays().erase(display_.get());
    }

    bool LoadKeymap() {
        XkbKeymapPtr keymap(xkb_x11_keymap_new_from_device(context_.get(),
                                                           XGetXCBConnection(display_.get()),
                                                           device_, XKB_KEYMAP_COMPILE_NO_FLAGS));
        if (!keymap) {
            return false;
        }
        finder_ = std::make_unique<KeyChordFinder>(keymap.get());
        spare_.Revalidate(*finder_);
        return true;
    }

    bool Post(const KeyEvent& event) override {
        if (lost_) {
            return false;
        }
        if ((event.flags & KeyStateDownFlag) == 0) {
            return true;
        }
        if (event.character != 0) {
            return PostCharacterUnit(static_cast<char16_t>(event.character & 0xFFFF));
        }
        if (event.virtualKey == 0 || IsModifierVirtualKey(event.virtualKey)) {
            return true;
        }
        return PressBareKey(event.virtualKey);
    }

    std::string Name() const override { return "xtest"; }
    std::string Target() const override { return "the X server " + label_; }
    bool Lost() const override { return lost_; }
    int EventDescriptor() const override { return lost_ ? -1 : ConnectionNumber(display_.get()); }
    // Reading is where Xlib finds a connection at its end.
    void Service(short) override { FollowKeymapChanges(); }

  private:
    static void ConnectionLost(Display*, void* self) {
        // Xlib would end the process; the program carries on, and its keeper
        // (platform/keyboard/key_sink_keeper.h) says so and waits for the server.
        static_cast<XTestKeySink*>(self)->lost_ = true;
    }

    bool PostCharacterUnit(char16_t unit) {
        bool delivered = true;
        for (char32_t character : joiner_.Feed(unit)) {
            delivered = TypeCharacter(character) && delivered;
        }
        return delivered;
    }

    bool TypeCharacter(char32_t character) {
        xkb_keysym_t keysym = KeysymForCharacter(character);
        Stroke stroke = keysym == XKB_KEY_NoSymbol ? Stroke::NoKey : TypeKeysym(keysym);
        if (stroke == Stroke::NoKey) {
            NKDbgPrintfW(u"xtest: no key gives %s and none can be bound to it; not typed",
                         CharacterClassName(character));
        }
        return stroke == Stroke::Typed;
    }

    bool PressBareKey(UINT virtualKey) {
        xkb_keysym_t keysym = KeysymForVirtualKey(virtualKey);
        Stroke stroke = keysym == XKB_KEY_NoSymbol ? Stroke::NoKey : TypeKeysym(keysym);
        if (stroke == Stroke::NoKey) {
            NKDbgPrintfW(u"xtest: virtual key 0x%02X names no key here; not pressed", virtualKey);
        }
        return stroke == Stroke::Typed;
    }

    // Presses whatever gives the keysym now: a key of the current layout and
    // group, else one bound to a spare keycode for it.
    Stroke TypeKeysym(xkb_keysym_t keysym) {
        XkbStateRec server{};
        XkbGetState(display_.get(), XkbUseCoreKbd, &server);
        FollowKeymapChanges();
        std::optional<KeyChord> chord;
        TypingState typing = ChooseState(keysym, server, chord);
        if (!chord && !lost_ && spare_.Bind(keysym, *finder_) != 0) {
            // The server has the binding once XSync returns; read it back.
            XSync(display_.get(), False);
            FollowKeymapChanges(/*force=*/true);
            typing = ChooseState(keysym, server, chord);
        }
        if (lost_) {
            return Stroke::Lost;
        }
        if (!chord) {
            return Stroke::NoKey;
        }
        spare_.Touch(chord->key);
        SendInState(*chord, typing, server);
        XFlush(display_.get());
        return lost_ ? Stroke::Lost : Stroke::Typed;
    }

    // Locks and group changed for the stroke are put back right after it, so
    // the user's Caps Lock, Num Lock and layout are as they were.
    void SendInState(const KeyChord& chord, const TypingState& typing, const XkbStateRec& server) {
        unsigned int locked = server.locked_mods;
        if (typing.clearLocks) {
            XkbLockModifiers(display_.get(), XkbUseCoreKbd, locked, 0);
        }
        if (typing.switchGroup) {
            XkbLockGroup(display_.get(), XkbUseCoreKbd, *typing.switchGroup);
        }
        SendChord(chord);
        if (typing.switchGroup) {
            XkbLockGroup(display_.get(), XkbUseCoreKbd, server.locked_group);
        }
        if (typing.clearLocks) {
            XkbLockModifiers(display_.get(), XkbUseCoreKbd, locked, locked);
        }
    }

    // The server's own state if it types the keysym; else the same with Caps
    // Lock and Num Lock released for the stroke; else another layout (group) of
    // the keymap that has it.
    TypingState ChooseState(xkb_keysym_t keysym, const XkbStateRec& server,
                            std::optional<KeyChord>& chord) const {
        TypingState typing;
        typing.locks = {finder_->FromCoreModifiers(server.locked_mods),
                        static_cast<xkb_layout_index_t>(server.group)};
        if ((chord = finder_->Find(keysym, typing.locks))) {
            return typing;
        }
        KeyboardLocks unlocked{0, typing.locks.layout};
        if ((chord = finder_->Find(keysym, unlocked))) {
            typing.clearLocks = true;
            return typing;
        }
        xkb_layout_index_t layouts = xkb_keymap_num_layouts(finder_->Keymap());
        for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
            if ((chord = finder_->Find(keysym, {typing.locks.lockedModifiers, layout}))) {
                typing.switchGroup = static_cast<int>(layout);
                return typing;
            }
        }
        return typing;
    }

    void SendChord(const KeyChord& chord) {
        for (xkb_keycode_t modifier : chord.modifiers) {
            SendKey(modifier, true);
        }
        SendKey(chord.key, true);
        SendKey(chord.key, false);
        for (auto modifier = chord.modifiers.rbegin(); modifier != chord.modifiers.rend();
             ++modifier) {
            SendKey(*modifier, false);
        }
    }

    void SendKey(xkb_keycode_t key, bool down) {
        pacer_.BeforeEvent();
        XTestFakeKeyEvent(display_.get(), key, down ? True : False, CurrentTime);
        if (KeyDelay().count() > 0) {
            XFlush(display_.get());
        }
    }

    // Reads the events that have arrived; a changed keyboard mapping (a new
    // layout, or another program's binding) means the keymap is read again.
    void FollowKeymapChanges(bool force = false) {
        bool changed = force;
        while (!lost_ && XPending(display_.get()) > 0) {
            XEvent event;
            XNextEvent(display_.get(), &event);
            changed = changed || event.type == MappingNotify || event.type == xkbEventBase_;
        }
        if (changed && !lost_ && !LoadKeymap()) {
            NKDbgPrintfW(u"xtest: the X server's new keyboard mapping cannot be read; "
                         u"typing with the previous one");
        }
    }

    DisplayPtr display_;
    std::string label_;
    int xkbEventBase_;
    XkbContextPtr context_;
    int32_t device_;
    std::unique_ptr<KeyChordFinder> finder_;
    SpareKeycodes spare_;
    KeyPacer pacer_;
    SurrogateJoiner joiner_;
    bool lost_ = false;
};

std::string DisplayLabel(const std::string& displayName) {
    const char* name = XDisplayName(displayName.empty() ? nullptr : displayName.c_str());
    return name == nullptr || *name == '\0' ? std::string("(DISPLAY is not set)")
                                            : std::string(name);
}

} // namespace

std::unique_ptr<KeySink> MakeXTestKeySink(const std::string& displayName, std::string& error) {
    std::string label = DisplayLabel(displayName);
    DisplayPtr display(XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str()));
    if (!display) {
        error = "cannot connect to the X server " + label;
        return nullptr;
    }
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display.get(), &eventBase, &errorBase, &major, &minor)) {
        error = "the X server " + label + " does not offer XTest";
        return nullptr;
    }
    int opcode = 0;
    int xkbEventBase = 0;
    major = XkbMajorVersion;
    minor = XkbMinorVersion;
    if (!XkbQueryExtension(display.get(), &opcode, &xkbEventBase, &errorBase, &major, &minor)) {
        error = "the X server " + label + " does not offer XKB";
        return nullptr;
    }
    xcb_connection_t* connection = XGetXCBConnection(display.get());
    if (!xkb_x11_setup_xkb_extension(
            connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
        error = "the X server " + label + " offers too old an XKB";
        return nullptr;
    }
    int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
    XkbContextPtr context = MakeXkbContext();
    if (device < 0 || !context) {
        error = "the X server " + label + " has no core keyboard";
        return nullptr;
    }
    auto sink = std::make_unique<XTestKeySink>(std::move(display), label, xkbEventBase,
                                               std::move(context), device);
    if (!sink->LoadKeymap()) {
        error = "the keyboard mapping of the X server " + label + " cannot be read";
        return nullptr;
    }
    return sink;
}

} // namespace platform
