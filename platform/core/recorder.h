// Test seam: while recording, the platform keeps every key event, beep and debug
// line it produces (the same ones the event log receives), so a test can read
// back exactly what the application did. Recording does not change what the
// production path does; it only observes it.
#pragma once

#include <string>
#include <vector>

#include "platform/core/types.h"

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

// One Shell_NotifyIcon call, as its event log line has it.
struct RecordedTray {
    std::string op;     // "add", "modify" or "delete"
    UINT icon = 0;      // resource id of the picture; 0 for delete or none
    std::u16string tip; // empty for delete
    bool ok = true;     // the call's result
    bool operator==(const RecordedTray&) const = default;
};

struct Recording {
    std::vector<RecordedKey> keys;
    std::vector<UINT> beeps;
    std::vector<std::u16string> debugLines;
    // The kind of every recorded event in order ("key", "beep", "debug", "tray"),
    // for tests that care how kinds interleave.
    std::vector<std::string> order;
    std::vector<RecordedTray> tray;
};

// Clears what was recorded and starts recording.
void StartRecording();
void StopRecording();
bool IsRecording();
Recording& Recorded();

} // namespace platform
