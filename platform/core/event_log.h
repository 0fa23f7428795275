// The event log: one JSON object per line for every key event, beep, debug line,
// tray operation and read verdict, in the order they happen. It holds everything
// typed, so the file is created readable by its owner only, and a file that
// others may read is refused.
#pragma once

#include <string>
#include <string_view>

#include "platform/core/types.h"
#include "platform/core/unicode.h"

namespace platform {

// Opens (appending, creating with mode 0600) the log file. On failure returns
// false and sets `error` to a sentence naming the file and the reason; an
// existing regular file whose mode lets others read or write it is refused
// (a device or pipe, chosen for where it leads, is taken as it is).
bool OpenEventLog(const std::string& path, std::string& error);

// Opens the log's path again, for a log rotated away (logrotate, on SIGUSR1):
// later lines go to the file now at the path. When it cannot be opened or is
// refused, the log goes on in the file it had, and false comes with `error`.
bool ReopenEventLog(std::string& error);
void CloseEventLog();
bool EventLogOpen();

// Appends {"t":<microseconds since start-up>,"time":"<ISO 8601 UTC>",
// "event":"<event>",<fields>} and a line break with a single write, so a reader
// never sees half a line. `fields` is already JSON: comma-separated members
// without the braces.
void WriteEvent(std::string_view event, std::string_view fields);

// Quotes UTF-16 text as a JSON string (with the quotation marks). Unpaired
// surrogates become U+FFFD.
std::string JsonString(std::u16string_view text);

} // namespace platform
