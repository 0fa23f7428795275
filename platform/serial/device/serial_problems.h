// Inside the platform: what a person reads when a reader's port does not work,
// one sentence with its remedy each (see platform/core/user_notice.h). `port` is the port's
// device name without its colon ("COM1"), `path` the tty that stands for it.
#pragma once

#include <string>

namespace platform {

// Why this user may not open the device at `path` though it is there, from its
// owner, group and mode, and what would mend that. Both empty when those do not
// tell (the device is not there, or its mode lets one of this user's groups in).
struct PermissionProblem {
    std::string cause;  // "it belongs to group dialout, which you are not in"
    std::string remedy; // "Add your user to the dialout group and log in again."
};
PermissionProblem WhyNotPermitted(const std::string& path);

// The tty cannot be opened; `error` is the errno value (ENOTTY for a file that
// is not a terminal, EBUSY for a tty in use). A refusal names the device's own
// group, or says that no group may open it.
std::string CannotOpenNotice(const std::string& port, const std::string& path, int error);

// The tty opened but refuses the line settings the program asks for.
std::string CannotSetUpNotice(const std::string& path, int error);

// The tty went away while open (unplugged, or its far end ended).
std::string GoneNotice(const std::string& path);

} // namespace platform
