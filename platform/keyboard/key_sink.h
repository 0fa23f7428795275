// Where key events end on this host. One sink is active at a time; all sinks see
// the same stream that the event log records.
#pragma once

#include <memory>
#include <string>

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
    // A short name for messages: "text", "none", "xtest", "uinput".
    virtual std::string Name() const = 0;
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
