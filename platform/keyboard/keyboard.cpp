#include "platform/keyboard/keyboard.h"

#include <string>

#include "platform/core/event_log.h"
#include "platform/core/recorder.h"
#include "platform/core/system.h"
#include "platform/core/unicode.h"
#include "platform/core/user_notice.h"
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

unsigned long long droppedReads = 0;

// The first character of `text` the active sink cannot type, with why; true
// when there is none.
bool AllTypable(std::u16string_view text, std::string& why) {
    platform::KeySink* sink = platform::ActiveKeySink();
    bool typable = true;
    if (sink != nullptr) {
        platform::ForEachCodePoint(
            text, [&](char32_t character) { typable = typable && sink->CanType(character, why); });
    }
    return typable;
}

} // namespace

BOOL CanTypeText(LPCWSTR text) {
    std::string why;
    if (text == nullptr || AllTypable(text, why)) {
        return TRUE;
    }
    platform::ReportUserNotice("keys: " + why,
                               "A card read was not typed, since it holds " + why +
                                   " (typed, it would arrive as different text). Switch the "
                                   "desktop to a layout that has the character, or choose a key "
                                   "sink that brings its own keymap (--keys wayland where the "
                                   "compositor offers it, xtest for X11 applications).");
    return FALSE;
}

BOOL CheckTypedSetting(LPCWSTR name, LPCWSTR text) {
    using namespace platform;
    std::string setting = Utf16ToUtf8(name == nullptr ? u"" : name);
    std::string why;
    if (text == nullptr || AllTypable(text, why)) {
        ClearUserNotice("keys: setting " + setting);
        return TRUE;
    }
    ReportUserNotice("keys: setting " + setting,
                     setting + " holds " + why +
                         ": every card read would be dropped rather than typed as "
                         "different text. Change " +
                         setting +
                         ", switch the desktop to a layout that has the character, or "
                         "choose a key sink that brings its own keymap.");
    return FALSE;
}

void CountDroppedRead(void) {
    ++droppedReads;
}

namespace platform {

unsigned long long DroppedReadCount() {
    return droppedReads;
}

} // namespace platform

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
        for (UINT i = 0; i < count; ++i) {
            if (!sink->Post({virtualKey, flags, shiftStates[i], characters[i]})) {
                delivered = FALSE;
            }
        }
    }
    if (!delivered) {
        SetLastError(ERROR_WRITE_FAULT);
    }
    return delivered;
}
