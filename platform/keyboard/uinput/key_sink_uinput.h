// The uinput key sink: a virtual keyboard made in the kernel through
// /dev/uinput, seen by whatever reads input devices (a Wayland compositor, an X
// server, the console). Such a keyboard sends key codes only; the layout that
// turns them into characters belongs to the compositor, the X server or the
// console, so the sink chooses its keys for the session's keymap
// (platform/keyboard/xkb/session_keymap.h) and follows it when it changes;
// --layout overrides it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/keyboard/key_sink.h"
#include "platform/keyboard/xkb/key_symbols.h"
#include "platform/keyboard/xkb/session_keymap.h"
#include "platform/keyboard/xkb/xkb_keymap.h"

namespace platform {

// One change of a key on the virtual keyboard, by Linux input event code.
struct EvdevKeyAction {
    unsigned int code;
    bool down;
    bool operator==(const EvdevKeyAction&) const = default;
};

// Turns key events into key presses for a layout, without any device: the pure
// half of the uinput sink. A character is typed with the key and Shift/AltGr
// that give it on the layout; one the layout offers only as a dead key ("^" on
// "de") as the dead key then space; one the layout lacks is skipped with one
// debug line. A bare key presses the key its virtual key names (the keypad
// digits give their digit when Num Lock allows). Key-up events and the
// Shift/Control/Alt events of the stream need no presses (each key-down carries
// its whole press and release).
class UinputKeyPlanner {
  public:
    // `keymap` is the layout's compiled keymap; `layout` names it in messages.
    UinputKeyPlanner(xkb_keymap* keymap, std::string layout);

    // The presses and releases that deliver `event`, in order. Empty when the
    // event needs none; `skipped` is set when it should have typed something
    // but cannot.
    std::vector<EvdevKeyAction> Plan(const KeyEvent& event, bool& skipped);

    // Plans for another keymap from now on (the session changed its layout).
    void SetKeymap(xkb_keymap* keymap, std::string layout);

    // Caps Lock and Num Lock as the input stack reports them to the keyboard.
    void SetLocks(const KeyboardLocks& locks) { locks_ = locks; }
    const KeyboardLocks& Locks() const { return locks_; }
    const KeyChordFinder& Finder() const { return finder_; }

  private:
    std::vector<EvdevKeyAction> PlanCharacter(char32_t character, bool& skipped);
    std::vector<EvdevKeyAction> PlanBareKey(UINT virtualKey, bool& skipped);

    KeyChordFinder finder_;
    std::string layout_;
    KeyboardLocks locks_;
    SurrogateJoiner joiner_;
};

constexpr const char* DefaultUinputPath = "/dev/uinput";

// Whether the uinput device can be opened for writing; `reason` says why not.
bool UinputAccessible(const std::string& path, std::string& reason);

// A virtual keyboard through uinput whose keys type for the session's keymap,
// or for `layout` when it is not empty. nullptr with `error` set when the
// device cannot be opened or the layout is unknown. A write to the
// device that fails makes the sink Lost() (the program's keeper makes a new one
// when the device can be had again).
std::unique_ptr<KeySink> MakeUinputKeySink(const std::string& layout, std::string& error,
                                           const std::string& path = DefaultUinputPath);

namespace key_sink_factories {
// The module's probe (the device opens) and factory.
extern const KeySinkFactory uinput;
} // namespace key_sink_factories

} // namespace platform
