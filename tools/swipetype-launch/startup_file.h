// One startup file: the program's path, a carriage return and its command line,
// in the narrow code page the program wrote it with. Only files that their
// reader owns and that nobody else may write are trusted, since whatever they
// name is started.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace launcher {

struct StartupEntry {
    std::string program;                // host path, UTF-8
    std::string commandLine;            // as the file has it, UTF-8
    std::vector<std::string> arguments; // the command line split into words
};

// Reads, checks and parses the file at `path` (a host path). False with the
// reason in `reason` when it must be skipped.
bool ReadStartupFile(const std::string& path, StartupEntry& entry, std::string& reason);

// Parses the bytes of a startup file that was read and checked. A device path is
// mapped into <root>/fs of the device root in use (never above it). False with
// the reason in `reason` when the file names no usable program.
bool ParseStartupFile(const std::string& bytes, StartupEntry& entry, std::string& reason);

// Words separated by spaces and tabs; double quotes group words and are removed.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

} // namespace launcher
