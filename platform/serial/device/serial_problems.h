// Inside the platform: what a person reads when a reader's port does not work,
// one sentence with its remedy each (see user_notice.h). `port` is the port's
// device name without its colon ("COM1"), `path` the tty that stands for it.
#pragma once

#include <string>

namespace platform {

// The tty cannot be opened; `error` is the errno value (ENOTTY for a file that
// is not a terminal, EBUSY for a tty in use).
std::string CannotOpenNotice(const std::string& port, const std::string& path, int error);

// The tty opened but refuses the line settings the program asks for.
std::string CannotSetUpNotice(const std::string& path, int error);

// The tty went away while open (unplugged, or its far end ended).
std::string GoneNotice(const std::string& path);

} // namespace platform
