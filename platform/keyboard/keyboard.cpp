#include "platform/keyboard/keyboard.h"

#include <string>

#include "platform/core/event_log.h"
#include "platform/core/read_tally.h"
#include "platform/core/recorder.h"
#include "platform/core/system.h"
#include "platform/keyboard/key_sink.h"

namespace {

void LogKeyEvent(HWND window, UINT virtualKey, UINT flags, UINT count, UINT shiftState,
                 UINT character) {
    // Without a log the line is not even made: a swipe is some hundred events.
    if (!platform::EventLogOpen()) {
        return;
    }
    // The window is printed as the device's signed handle value (-1 for the focus).
    auto handle = static_cast<long long>(reinterpret_cast<LONG_PTR>(window));
    std::string fields =
        "\"hwnd\":" + std::to_string(handle) + ",\"vk\":" + std::to_string(virtualKey) +
        ",\"flags\":" + std::to_string(flags) + ",\"count\":" + std::to_string(count) +
        ",\"shift\":" + std::to_string(shiftState) + ",\"char\":" + std::to_string(character);
    platform::WriteEvent("key", fields);
}

} // namespace

BOOL PostKeybdMessage(HWND window, UINT virtualKey, UINT flags, UINT count, UINT* shiftStates,
                      UINT* characters) {
    if (count == 0 || shiftStates == nullptr || characters == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    LogKeyEvent(window, virtualKey, flags, count, shiftStates[0], characters[0]);
    if (platform::IsRecording()) {
        platform::Recorded().keys.push_back(
            {window, virtualKey, flags, count, shiftStates[0], characters[0]});
        platform::Recorded().order.emplace_back("key");
    }
    BOOL delivered = TRUE;
    if (platform::KeySink* sink = platform::ActiveKeySink()) {
        if (sink->Name() == "none") {
            // Nothing is typed anywhere: the read these keys belong to is dropped.
            platform::TallyKeysDiscarded();
            return TRUE;
        }
        for (UINT i = 0; i < count; ++i) {
            if (!sink->Post({virtualKey, flags, shiftStates[i], characters[i]})) {
                delivered = FALSE;
            }
        }
    }
    if (!delivered) {
        SetLastError(ERROR_WRITE_FAULT);
    } else {
        platform::TallyKeysDelivered();
    }
    return delivered;
}
