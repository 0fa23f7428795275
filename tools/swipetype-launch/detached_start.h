// Starting a program the way a boot launcher does: no shell, in a session of its
// own, not waited for.
#pragma once

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace launcher {

// Starts `program` (a path, not searched for) with `arguments` after its own
// name, standard input from /dev/null, standard output and error shared with
// the launcher, and the launcher's environment plus `environment` (replacing
// variables of the same name). False with a sentence in `error` when it cannot
// be started (the program missing or not executable included).
bool StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                   const std::vector<std::pair<std::string, std::string>>& environment, pid_t& pid,
                   std::string& error);

} // namespace launcher
