// Key events must come as whole strokes: a character stroke is an optional
// Shift-down, a key-down carrying the character, the key-up of the same key and
// the Shift-up that matches; a bare-key stroke is a key-down and key-up without
// character or Shift. Every event goes to the focus window (-1), one at a time.
#pragma once

#include <string>
#include <vector>

#include "fuzz/support/check.h"
#include "keys/key_tables.h"
#include "platform/core/recorder.h"

namespace fuzz {

struct Stroke {
    UINT virtualKey = 0;
    UINT character = 0; // 0 for a bare key
    bool bare = false;
};

namespace stroke_events {
constexpr UINT kShift = 0x10;
constexpr UINT kCharacterDown = 0x00000080;
constexpr UINT kNoCharacterDown = 0x00010080;
constexpr UINT kUp = 0x00010001;
constexpr UINT kUpShiftState = 0x00010000;
} // namespace stroke_events

inline std::string DescribeKey(const platform::RecordedKey& key) {
    char text[96];
    std::snprintf(text, sizeof text, "{vk 0x%x, flags 0x%x, shift 0x%x, char 0x%x}", key.virtualKey,
                  key.flags, key.shiftState, key.character);
    return text;
}

// Splits the recorded events into strokes, checking each; the strokes in order.
inline std::vector<Stroke> WholeStrokes(const std::vector<platform::RecordedKey>& keys) {
    using namespace stroke_events;
    auto at = [&](std::size_t i) -> const platform::RecordedKey& {
        Check(i < keys.size(), "a stroke is cut off at the end of the events");
        const platform::RecordedKey& key = keys[i];
        Check(key.window == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1)) && key.count == 1,
              "every key event goes to the focus window, one at a time",
              [&] { return DescribeKey(key); });
        return key;
    };
    auto is = [](const platform::RecordedKey& key, UINT vk, UINT flags, UINT shift, UINT ch) {
        return key.virtualKey == vk && key.flags == flags && key.shiftState == shift &&
               key.character == ch;
    };
    std::vector<Stroke> strokes;
    for (std::size_t i = 0; i < keys.size();) {
        bool shifted = is(at(i), kShift, kNoCharacterDown, kNoCharacterDown, 0) &&
                       i + 1 < keys.size() && at(i + 1).flags == kCharacterDown;
        const platform::RecordedKey& down = at(i + (shifted ? 1 : 0));
        const platform::RecordedKey& up = at(i + (shifted ? 2 : 1));
        Stroke stroke{down.virtualKey, down.character, down.flags == kNoCharacterDown};
        if (stroke.bare) {
            Check(is(down, down.virtualKey, kNoCharacterDown, kNoCharacterDown, 0),
                  "a bare key goes down without character", [&] { return DescribeKey(down); });
        } else {
            Check(is(down, down.virtualKey, kCharacterDown, kCharacterDown, down.character),
                  "a key-down carries its character", [&] { return DescribeKey(down); });
            BYTE row = static_cast<BYTE>(down.character & 0xFF);
            Check(down.virtualKey == CharToVirtualKey[row] && shifted == (CharNeedsShift[row] != 0),
                  "a character's key and Shift come from its table row",
                  [&] { return DescribeKey(down); });
        }
        Check(is(up, down.virtualKey, kUp, kUpShiftState, 0), "the same key comes up after it",
              [&] { return DescribeKey(up); });
        i += shifted ? 3 : 2;
        if (shifted) {
            Check(is(at(i), kShift, kUp, kUpShiftState, 0), "Shift comes up after a shifted key",
                  [&] { return DescribeKey(keys[i]); });
            ++i;
        }
        strokes.push_back(stroke);
    }
    return strokes;
}

// The characters of the character strokes: what the focused application receives.
inline std::u16string TypedCharacters(const std::vector<Stroke>& strokes) {
    std::u16string text;
    for (const Stroke& stroke : strokes) {
        if (!stroke.bare) {
            text += static_cast<char16_t>(stroke.character);
        }
    }
    return text;
}

} // namespace fuzz
