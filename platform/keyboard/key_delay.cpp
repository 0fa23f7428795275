#include "platform/keyboard/key_delay.h"

#include <algorithm>
#include <charconv>

namespace platform {
namespace {

constexpr std::chrono::milliseconds LongestKeyDelay{10000};

std::chrono::milliseconds& Delay() {
    static std::chrono::milliseconds delay{0};
    return delay;
}

} // namespace

void SetKeyDelay(std::chrono::milliseconds delay) {
    Delay() = std::clamp(delay, std::chrono::milliseconds{0}, LongestKeyDelay);
}

std::chrono::milliseconds KeyDelay() {
    return Delay();
}

bool ParseKeyDelay(const std::string& text, std::chrono::milliseconds& delay, std::string& error) {
    long long value = -1;
    const char* end = text.data() + text.size();
    auto [stop, status] = std::from_chars(text.data(), end, value);
    if (text.empty() || status != std::errc{} || stop != end || value < 0 ||
        value > LongestKeyDelay.count()) {
        error = "key delay \"" + text + "\" is not a number of milliseconds from 0 to " +
                std::to_string(LongestKeyDelay.count());
        return false;
    }
    delay = std::chrono::milliseconds{value};
    return true;
}

} // namespace platform
