#include "platform/keyboard/key_delay.h"

#include <charconv>

#include "platform/core/message_text.h"

namespace platform {
namespace {

std::chrono::milliseconds& Delay() {
    static std::chrono::milliseconds delay{0};
    return delay;
}

} // namespace

void SetKeyDelay(std::chrono::milliseconds delay) {
    Delay() = delay;
}

std::chrono::milliseconds KeyDelay() {
    return Delay();
}

bool ParseKeyDelay(const std::string& text, std::chrono::milliseconds& delay, std::string& error) {
    long long value = -1;
    const char* end = text.data() + text.size();
    auto [stop, status] = std::from_chars(text.data(), end, value);
    if (text.empty() || status != std::errc{} || stop != end || value < 0 ||
        value > kLongestKeyDelay.count()) {
        error = "wants a whole number of milliseconds from 0 to " +
                std::to_string(kLongestKeyDelay.count()) + ", not " + QuoteForMessage(text);
        return false;
    }
    delay = std::chrono::milliseconds{value};
    return true;
}

} // namespace platform
