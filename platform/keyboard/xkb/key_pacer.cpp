// The pacing of one sink's key events, apart from the delay's setting: it runs
// inside the key sink modules, which read the delay from the program.
#include "platform/keyboard/key_delay.h"

#include <thread>

namespace platform {

void KeyPacer::BeforeEvent() {
    std::chrono::milliseconds delay = KeyDelay();
    auto now = std::chrono::steady_clock::now();
    if (any_ && delay.count() > 0 && now < previous_ + delay) {
        std::this_thread::sleep_until(previous_ + delay);
        now = std::chrono::steady_clock::now();
    }
    previous_ = now;
    any_ = true;
}

} // namespace platform
