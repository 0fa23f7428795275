// Helpers for tests that check the key events the program posts.
#pragma once

#include <string>
#include <vector>

#include "platform/core/recorder.h"
#include "platform/core/types.h"

namespace test_support {

// One posted event as the tests write it: virtual key, flags, shift state, character.
struct Event {
    UINT vk;
    UINT flags;
    UINT shift;
    UINT ch;
    bool operator==(const Event&) const = default;
};

inline std::vector<Event> RecordedEvents() {
    std::vector<Event> events;
    for (const platform::RecordedKey& key : platform::Recorded().keys) {
        events.push_back({key.virtualKey, key.flags, key.shiftState, key.character});
    }
    return events;
}

// The characters carried by key-down events, as a wide string: what the focused
// application would receive.
inline std::u16string TypedText() {
    std::u16string text;
    for (const platform::RecordedKey& key : platform::Recorded().keys) {
        if ((key.flags & 0x80) != 0 && key.character != 0) {
            text += static_cast<char16_t>(key.character);
        }
    }
    return text;
}

} // namespace test_support

// Readable failure messages for events.
#include <ostream>
inline std::ostream& operator<<(std::ostream& out, const test_support::Event& event) {
    return out << std::hex << "{vk 0x" << event.vk << ", flags 0x" << event.flags << ", shift 0x"
               << event.shift << ", char 0x" << event.ch << "}" << std::dec;
}
