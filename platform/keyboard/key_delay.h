// Pacing of injected key events. Some applications and virtual machines drop
// input that arrives faster than they poll; the user can ask for a pause between
// the key events that the sinks typing through a display server or a device
// send (xtest, uinput, wayland, gnome, kde: --key-delay MS). The default is no
// pause: events go back to back.
#pragma once

#include <chrono>
#include <string>

namespace platform {

// The longest pause the program takes: longer would stall a read of a few dozen
// keys for minutes, which no application needs.
constexpr std::chrono::milliseconds kLongestKeyDelay{10000};

// Sets the pause as given: the options refuse a value out of range before it
// gets here (ParseKeyDelay), so nothing is changed behind the user's back.
void SetKeyDelay(std::chrono::milliseconds delay);
std::chrono::milliseconds KeyDelay();

// Parses a --key-delay value: a whole number of milliseconds, 0 to
// kLongestKeyDelay. Returns false with `error` set to a sentence otherwise.
bool ParseKeyDelay(const std::string& text, std::chrono::milliseconds& delay, std::string& error);

// Keeps the pause between consecutive key events of one sink. The first event
// never waits; each following one waits until the delay has passed since the
// previous one (real time: the point is to give other programs time to run).
class KeyPacer {
  public:
    void BeforeEvent();

  private:
    std::chrono::steady_clock::time_point previous_{};
    bool any_ = false;
};

} // namespace platform
