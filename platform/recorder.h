// Test seam: while recording, the platform keeps every key event, beep and debug
// line it produces (the same ones the event log receives), so a test can read
// back exactly what the application did. Recording does not change what the
// production path does; it only observes it.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {

struct RecordedKey {
    HWND window;
    UINT virtualKey;
    UINT flags;
    UINT count;
    UINT shiftState;
    UINT character;
    bool operator==(const RecordedKey&) const = default;
};

struct Recording {
    std::vector<RecordedKey> keys;
    std::vector<UINT> beeps;
    std::vector<std::u16string> debugLines;
    // The kind of every recorded event in order ("key", "beep", "debug", "tray"),
    // for tests that care how kinds interleave.
    std::vector<std::string> order;
};

// Clears what was recorded and starts recording.
void StartRecording();
void StopRecording();
bool IsRecording();
Recording& Recorded();

} // namespace platform
