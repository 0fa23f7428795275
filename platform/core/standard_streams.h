// The program's standard input, output and error as it finds them at start.
#pragma once

#include <string_view>

namespace platform {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed (a service
// manager or a script may start the program with `1>&- 2>&-`). Otherwise the
// next file the program opens would take the number, and whatever it writes to
// standard output or error would land in that file (the event log). Call it
// first thing, before anything opens a file.
void OpenClosedStandardDescriptors();

// Gives the program open file descriptions of its own, opened without waiting,
// for standard output and error where they are a pipe or a terminal, so that
// no write to them can block the program (output_queue.h queues what they do
// not take). The descriptions it was started with are shared with other
// processes (a terminal with the shell): setting O_NONBLOCK on them would
// change them for those processes too. The same pipe or terminal is opened
// again through /proc/self/fd instead, and put in place of descriptors 1 and 2
// of this process only. Where that cannot be done (no /proc, a pipe of another
// user), a descriptor is left as it is and written by polling first. Regular
// files and sockets are left alone: the one does not wait for a reader and the
// other is sent to without waiting.
void MakeStandardStreamsNonBlocking();

// Under a service manager whose journal takes standard error (JOURNAL_STREAM
// names it), each line there starts with its priority, "<3>" an error, "<4>" a
// warning, "<6>" information, as the journal reads them; elsewhere nothing.
enum class JournalPriority { Error, Warning, Info };
const char* JournalPrefix(JournalPriority priority);

// One line (a line break is added) on standard error, never waiting; an error
// unless said otherwise.
void WriteErrorLine(std::string_view line, JournalPriority priority = JournalPriority::Error);

} // namespace platform
