// Where key events end on this host. One sink is active at a time; all sinks see
// the same stream that the event log records.
#pragma once

#include <memory>
#include <poll.h>
#include <string>
#include <unistd.h>

#include "platform/core/types.h"

namespace platform {

struct KeyEvent {
    UINT virtualKey;
    UINT flags;
    UINT shiftState;
    UINT character; // 0 when the event carries no character
};

class KeySink {
  public:
    virtual ~KeySink() = default;
    // Delivers one event. Returns false when the event could not be delivered.
    virtual bool Post(const KeyEvent& event) = 0;
    // The sink's name, as --keys gives it: "text", "none", "xtest", "uinput",
    // "wayland".
    virtual std::string Name() const = 0;

    // What the sink types through, for messages: "the X server :0", "the
    // Wayland compositor wayland-1".
    virtual std::string Target() const { return "the " + Name() + " sink"; }
    // True once the display or device behind the sink has gone away: every
    // later Post fails, and only a new sink can type again.
    virtual bool Lost() const { return false; }
    // The descriptor of the sink's connection, for the message loop to wait
    // on, or -1 when there is none.
    virtual int EventDescriptor() const { return -1; }
    // What to wait for on it (poll() events): POLLIN for what the other end
    // says (events, errors, its end), and POLLOUT while the sink holds key
    // events it has not sent yet; it sends them when the loop is next about to
    // wait, so that a read's keys go out in a few writes.
    virtual short WaitEvents() const { return POLLIN; }
    // Handles what poll() found ready on the descriptor, without waiting: reads
    // what arrived (this is how a sink learns that its connection ended while
    // nothing was typed) and sends what it holds.
    virtual void Service(short /*ready*/) {}
    // Whether `character` can be typed now as itself. A sink that sends key
    // codes can type only what the session's current layout holds; one that
    // brings its own keymap or writes text can type everything. When it cannot,
    // `why` names the kind of character and the reason ("a non-ASCII character:
    // layout ... has no key for it"), never the character (it may be card data).
    virtual bool CanType(char32_t /*character*/, std::string& /*why*/) { return true; }
};

// What a sink is made for. Empty texts mean the defaults.
struct KeySinkSettings {
    std::string display; // X display for xtest; "" means $DISPLAY
    std::string layout;  // layout the key-code sinks type for; "" means the session's
    std::string uinputPath = "/dev/uinput";
    int textFd = STDOUT_FILENO; // where the text sink prints
};

// How one kind of sink is tried and made; a sink module exports its pair.
struct KeySinkFactory {
    // Whether the sink could work here, cheaply (no device is made); `reason`
    // says why not in a few words.
    bool (*probe)(const KeySinkSettings& settings, std::string& reason);
    // The sink, or nullptr with `error` set to a sentence.
    std::unique_ptr<KeySink> (*make)(const KeySinkSettings& settings, std::string& error);
};

// Replaces the active sink; nullptr means none. The previous sink is destroyed.
void SetKeySink(std::unique_ptr<KeySink> sink);
KeySink* ActiveKeySink();

// Writes the character of every key-down event, UTF-8, to the file descriptor
// (standard output in the program), pairing surrogate halves.
std::unique_ptr<KeySink> MakeTextKeySink(int fd);

// Accepts and discards every event.
std::unique_ptr<KeySink> MakeNullKeySink();

} // namespace platform
