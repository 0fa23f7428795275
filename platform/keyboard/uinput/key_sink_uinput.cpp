#include "platform/keyboard/uinput/key_sink_uinput.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>

#include "platform/core/errors.h"
#include "platform/core/system.h"
#include "platform/core/unique_fd.h"
#include "platform/keyboard/key_delay.h"
#include "platform/keyboard/keyboard.h"

namespace platform {
namespace {

// XKB numbers keys from 8 upwards; the Linux input codes start at 0.
constexpr xkb_keycode_t EvdevOffset = 8;
// Codes a virtual keyboard offers: every key an XKB keymap can name.
constexpr unsigned int HighestKeyCode = 255 - EvdevOffset;
// udev must make the device node and the compositor or X server must open it
// before the first key counts; keys written earlier are lost.
constexpr std::chrono::milliseconds SettleTime{500};

std::vector<EvdevKeyAction> PressChords(const std::vector<KeyChord>& chords) {
    std::vector<EvdevKeyAction> actions;
    for (const KeyChord& chord : chords) {
        for (xkb_keycode_t modifier : chord.modifiers) {
            actions.push_back({modifier - EvdevOffset, true});
        }
        actions.push_back({chord.key - EvdevOffset, true});
        actions.push_back({chord.key - EvdevOffset, false});
        for (auto modifier = chord.modifiers.rbegin(); modifier != chord.modifiers.rend();
             ++modifier) {
            actions.push_back({*modifier - EvdevOffset, false});
        }
    }
    return actions;
}

} // namespace

UinputKeyPlanner::UinputKeyPlanner(xkb_keymap* keymap, std::string layout)
    : finder_(keymap), layout_(std::move(layout)) {}

void UinputKeyPlanner::SetKeymap(xkb_keymap* keymap, std::string layout) {
    finder_ = KeyChordFinder(keymap);
    layout_ = std::move(layout);
}

std::vector<EvdevKeyAction> UinputKeyPlanner::Plan(const KeyEvent& event, bool& skipped) {
    skipped = false;
    if ((event.flags & KeyStateDownFlag) == 0) {
        return {};
    }
    if (event.character != 0) {
        std::vector<EvdevKeyAction> actions;
        for (char32_t character : joiner_.Feed(static_cast<char16_t>(event.character & 0xFFFF))) {
            bool missing = false;
            std::vector<EvdevKeyAction> more = PlanCharacter(character, missing);
            actions.insert(actions.end(), more.begin(), more.end());
            skipped = skipped || missing;
        }
        return actions;
    }
    if (event.virtualKey == 0 || IsModifierVirtualKey(event.virtualKey)) {
        return {};
    }
    return PlanBareKey(event.virtualKey, skipped);
}

std::vector<EvdevKeyAction> UinputKeyPlanner::PlanCharacter(char32_t character, bool& skipped) {
    xkb_keysym_t keysym = KeysymForCharacter(character);
    if (keysym == XKB_KEY_NoSymbol) {
        NKDbgPrintfW(u"uinput: %s has no key on any keyboard; not typed",
                     CharacterClassName(character));
        skipped = true;
        return {};
    }
    std::vector<KeyChord> chords = ChordsForCharacter(finder_, character, locks_);
    if (!chords.empty()) {
        return PressChords(chords);
    }
    NKDbgPrintfW(u"uinput: layout \"%S\" has no key for %s; not typed", layout_.c_str(),
                 CharacterClassName(character));
    skipped = true;
    return {};
}

std::vector<EvdevKeyAction> UinputKeyPlanner::PlanBareKey(UINT virtualKey, bool& skipped) {
    xkb_keysym_t keysym = KeysymForVirtualKey(virtualKey);
    std::optional<KeyChord> chord;
    if (keysym != XKB_KEY_NoSymbol) {
        chord = finder_.Find(keysym, locks_);
        if (!chord) {
            chord = finder_.FindKey(keysym, locks_.layout);
        }
    }
    if (!chord) {
        NKDbgPrintfW(u"uinput: layout \"%S\" has no key for virtual key 0x%02X; not pressed",
                     layout_.c_str(), virtualKey);
        skipped = true;
        return {};
    }
    return PressChords({*chord});
}

namespace {

struct EvdevDeleter {
    void operator()(libevdev* device) const { libevdev_free(device); }
};
struct UinputDeleter {
    void operator()(libevdev_uinput* device) const { libevdev_uinput_destroy(device); }
};

class UinputKeySink final : public KeySink {
  public:
    UinputKeySink(std::unique_ptr<SessionKeymap> keymap, std::string path, UniqueFd fd,
                  std::unique_ptr<libevdev_uinput, UinputDeleter> device)
        : keymap_(std::move(keymap)), planner_(keymap_->Keymap(), keymap_->LayoutName()),
          changes_(keymap_->Changes()), path_(std::move(path)), fd_(std::move(fd)),
          device_(std::move(device)) {}

    bool Post(const KeyEvent& event) override {
        if (lost_) {
            return false;
        }
        ReadLeds();
        FollowKeymap();
        bool skipped = false;
        std::vector<EvdevKeyAction> actions = planner_.Plan(event, skipped);
        bool written = true;
        for (const EvdevKeyAction& action : actions) {
            pacer_.BeforeEvent();
            written = Write(EV_KEY, action.code, action.down ? 1 : 0) && written;
            written = Write(EV_SYN, SYN_REPORT, 0) && written;
        }
        return written && !skipped;
    }

    std::string Name() const override { return "uinput"; }
    std::string Target() const override {
        return "the virtual keyboard of " + path_ + ", typing for " + keymap_->Describe();
    }
    bool Lost() const override { return lost_; }
    int EventDescriptor() const override { return lost_ ? -1 : keymap_->Descriptor(); }
    void Service(short) override { FollowKeymap(); }

    bool CanType(char32_t character, std::string& why) override {
        ReadLeds();
        FollowKeymap();
        if (keymap_->CanType(character, planner_.Locks())) {
            return true;
        }
        std::u16string_view kind = CharacterClassName(character); // ASCII words
        why = std::string(kind.begin(), kind.end()) + ": " + keymap_->Describe() +
              " has no key for it";
        return false;
    }

  private:
    // Takes the keymap the session changed to. When its compositor or X
    // server has gone, the last keymap stays: a new one usually brings the
    // same layout back.
    void FollowKeymap() {
        if (!keymap_->Follow() && !sourceGone_) {
            sourceGone_ = true;
            NKDbgPrintfW(u"uinput: %S has gone; keys stay those of its last keymap",
                         keymap_->Origin().c_str());
        }
        if (keymap_->Changes() != changes_) {
            changes_ = keymap_->Changes();
            planner_.SetKeymap(keymap_->Keymap(), keymap_->LayoutName());
            planner_.SetLocks(locks_);
            NKDbgPrintfW(u"uinput: the session's keymap changed; typing for %S",
                         keymap_->Describe().c_str());
        }
    }

    // A device that takes no event is gone: what follows would be lost too.
    bool Write(unsigned int type, unsigned int code, int value) {
        int result = libevdev_uinput_write_event(device_.get(), type, code, value);
        if (result < 0 && !lost_) {
            lost_ = true;
            DebugLine(std::string("uinput: write: ") + ErrorText(-result));
        }
        return result >= 0;
    }

    // The input stack lights the Caps Lock and Num Lock LEDs of every keyboard
    // of the seat, ours included, which is how the sink learns the lock state.
    void ReadLeds() {
        input_event event{};
        bool changed = false;
        while (::read(fd_.Get(), &event, sizeof event) == static_cast<ssize_t>(sizeof event)) {
            if (event.type == EV_LED && event.code == LED_CAPSL) {
                capsLock_ = event.value != 0;
                changed = true;
            } else if (event.type == EV_LED && event.code == LED_NUML) {
                numLock_ = event.value != 0;
                changed = true;
            }
        }
        if (changed) {
            unsigned int core = (capsLock_ ? 0x02U : 0U) | (numLock_ ? 0x10U : 0U);
            locks_ = {planner_.Finder().FromCoreModifiers(core), 0};
            planner_.SetLocks(locks_);
        }
    }

    std::unique_ptr<SessionKeymap> keymap_;
    UinputKeyPlanner planner_;
    unsigned int changes_;
    KeyboardLocks locks_;
    bool sourceGone_ = false;
    std::string path_;
    UniqueFd fd_; // declared before the device, so closed after it
    std::unique_ptr<libevdev_uinput, UinputDeleter> device_;
    KeyPacer pacer_;
    bool capsLock_ = false;
    bool numLock_ = false;
    bool lost_ = false;
};

std::unique_ptr<libevdev, EvdevDeleter> DescribeKeyboard() {
    std::unique_ptr<libevdev, EvdevDeleter> device(libevdev_new());
    if (!device) {
        return nullptr;
    }
    libevdev_set_name(device.get(), "Swipetype virtual keyboard");
    libevdev_set_id_bustype(device.get(), BUS_VIRTUAL);
    libevdev_enable_event_type(device.get(), EV_KEY);
    for (unsigned int code = KEY_ESC; code <= HighestKeyCode; ++code) {
        libevdev_enable_event_code(device.get(), EV_KEY, code, nullptr);
    }
    libevdev_enable_event_type(device.get(), EV_LED);
    libevdev_enable_event_code(device.get(), EV_LED, LED_NUML, nullptr);
    libevdev_enable_event_code(device.get(), EV_LED, LED_CAPSL, nullptr);
    return device;
}

} // namespace

namespace {

// Why the device cannot be opened, telling a missing kernel module (the node is
// there, from the udev rule's static node, but nothing serves it) apart from a
// missing permission, since the remedies differ.
std::string UinputOpenProblem(const std::string& path, int error) {
    switch (error) {
    case ENODEV:
    case ENXIO:
        return path + ": the uinput kernel module is not loaded (sudo modprobe uinput; for "
                      "every boot, name it in /etc/modules-load.d)";
    case ENOENT:
        return path + " does not exist: the uinput kernel module is not loaded and no udev "
                      "rule makes its node";
    case EACCES:
    case EPERM:
        return path + ": no permission for this user (" + ErrorText(error) + ")";
    default:
        return SystemError(path, error);
    }
}

} // namespace

bool UinputAccessible(const std::string& path, std::string& reason) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        reason = UinputOpenProblem(path, errno);
        return false;
    }
    return true;
}

std::unique_ptr<KeySink> MakeUinputKeySink(const std::string& layout, std::string& error,
                                           const std::string& path) {
    SessionKeymapSettings where;
    where.layoutOverride = layout;
    std::unique_ptr<SessionKeymap> keymap = SessionKeymap::Find(where, error);
    if (!keymap) {
        return nullptr;
    }
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        error = "cannot open " + UinputOpenProblem(path, errno);
        return nullptr;
    }
    std::unique_ptr<libevdev, EvdevDeleter> description = DescribeKeyboard();
    libevdev_uinput* created = nullptr;
    int result = description
                     ? libevdev_uinput_create_from_device(description.get(), fd.Get(), &created)
                     : -ENOMEM;
    if (result < 0) {
        error = SystemError("cannot create a virtual keyboard on " + path, -result);
        return nullptr;
    }
    std::unique_ptr<libevdev_uinput, UinputDeleter> device(created);
    std::this_thread::sleep_for(SettleTime);
    return std::make_unique<UinputKeySink>(std::move(keymap), path, std::move(fd),
                                           std::move(device));
}

namespace {

bool ProbeUinput(const KeySinkSettings& settings, std::string& reason) {
    return UinputAccessible(settings.uinputPath, reason);
}

std::unique_ptr<KeySink> MakeUinput(const KeySinkSettings& settings, std::string& error) {
    return MakeUinputKeySink(settings.layout, error, settings.uinputPath);
}

} // namespace

const KeySinkFactory key_sink_factories::uinput{ProbeUinput, MakeUinput};

} // namespace platform
