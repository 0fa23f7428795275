#pragma once

#include <string>

namespace platform {

// The host path of the running program, "" when it cannot be told. It comes
// from /proc/self/exe; where /proc is not mounted (a chroot, an early boot
// service) it is the path the program was started by, made absolute. A program
// file replaced while it runs (a package upgrade) gives the file now installed
// at its path.
std::string RunningProgramPath();

} // namespace platform
