// Inside the platform: what a serial device cannot do is said on the debug
// output once per device and topic for the whole run, not at every open or call:
// the readers open and set up their port at every start, and a line repeated at
// each start would bury the messages that matter.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Writes `text` (UTF-8) with NKDbgPrintfW unless this device already said
// something on this topic.
void SaySerialNoteOnce(const std::string& device, std::string_view topic, const std::string& text);

// Forgets what was said, so a test can see a note again.
void ForgetSerialNotes();

} // namespace platform
