#include "platform/windowing/key_state.h"

#include <array>

namespace platform {
namespace {

struct KeyState {
    std::array<bool, 256> down{};
    std::array<bool, 256> toggled{};
};

KeyState& Keys() {
    static KeyState state;
    return state;
}

} // namespace

void SetKeyDown(UINT virtualKey, bool down) {
    if (virtualKey > 0xFF) {
        return;
    }
    KeyState& keys = Keys();
    if (down && !keys.down[virtualKey]) {
        keys.toggled[virtualKey] = !keys.toggled[virtualKey];
    }
    keys.down[virtualKey] = down;
}

void ReleaseAllKeys() {
    Keys().down.fill(false);
}

} // namespace platform

short GetKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 0xFF) {
        return 0;
    }
    const auto& keys = platform::Keys();
    auto index = static_cast<std::size_t>(virtualKey);
    return static_cast<short>((keys.down[index] ? 0x8000 : 0) | (keys.toggled[index] ? 1 : 0));
}

short GetAsyncKeyState(int virtualKey) {
    return static_cast<short>(GetKeyState(virtualKey) & static_cast<short>(0x8000));
}
