// Test helpers for the X11 key sink: a private Xvfb server, the layout switch
// (setxkbmap), and a window that holds the keyboard focus and records the text
// its key presses decode to, as an Xlib application decodes them.
#pragma once

#include <chrono>
#include <string>

#include "support/process.h"

typedef struct _XDisplay Display;

namespace x_test {

// An Xvfb server of its own on a free display number (-displayfd), without TCP,
// that keeps its keymap when the last client leaves (-noreset).
class XvfbServer {
  public:
    XvfbServer() = default;
    ~XvfbServer() { Stop(); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Returns false with `reason` set when Xvfb is not installed or does not
    // come up within ten seconds. `screen` is WIDTHxHEIGHTxDEPTH.
    // `display` (":N") asks for that display instead of a free one.
    bool Start(std::string& reason, const std::string& screen = "640x480x24",
               const std::string& display = "");
    // Ends the server (SIGTERM, then SIGKILL after five seconds).
    void Stop();
    // Ends the server and starts a new one on the same display, as a display
    // manager does at a logout.
    bool Restart(std::string& reason);
    bool Running() const { return process_.Pid() > 0; }
    // ":N"
    const std::string& Name() const { return name_; }

  private:
    bool Launch(const std::string& display, std::string& reason);

    test_support::Process process_;
    std::string name_;
    std::string screen_;
};

// One server for the whole test program, started on first use and ended at
// exit. nullptr with `reason` set when it cannot run.
const XvfbServer* SharedXvfb(std::string& reason);

// Sets the server's layout with setxkbmap; false when that fails.
bool SetServerLayout(const std::string& display, const std::string& layout);

// A focused window that decodes each KeyPress with XLookupString, the server's
// own mapping as Xlib holds it, and keeps the characters the keysyms stand for.
class TextWindow {
  public:
    TextWindow() = default;
    ~TextWindow();
    TextWindow(const TextWindow&) = delete;
    TextWindow& operator=(const TextWindow&) = delete;

    // Connects, maps the window and gives it the focus.
    bool Open(const std::string& display, std::string& reason);
    // Reads the events that have arrived, without waiting.
    void Poll();
    // Waits until `count` characters have arrived in all or the time is up, and
    // returns everything received since the last call.
    std::u32string Take(std::size_t count, std::chrono::milliseconds timeLimit);
    // Key presses that decoded to no character (dead keys, modifiers excluded).
    int UndecodedPresses() const { return undecoded_; }

    // The server's locked modifiers (core mask: Lock 0x02, Mod2 0x10 for Num Lock).
    unsigned int LockedModifiers();
    // Locks or unlocks modifiers as a lock key would (XKB LatchLockState).
    void SetLockedModifiers(unsigned int mask, bool locked);
    // Presses and releases the key holding `keysym` through XTest, as a user
    // pressing Caps Lock would; false when no key holds it.
    bool TapKey(unsigned long keysym);
    // Keycodes of the core mapping that hold `keysym` at any position.
    int KeycodesHolding(unsigned long keysym);
    // Keycodes of the core mapping without any symbol.
    int EmptyKeycodes();
    Display* Connection() const { return display_; }

  private:
    Display* display_ = nullptr;
    unsigned long window_ = 0;
    std::u32string received_;
    int undecoded_ = 0;
};

// UTF-32 text as UTF-8, for readable failure messages.
std::string Utf8(const std::u32string& text);

} // namespace x_test
