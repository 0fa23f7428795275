// Files written under a device root by whoever runs the writer (the program, or
// an administrator's tool run as root) stay the device root owner's: a file
// that replaces another takes the replaced file's owner, group and mode; a new
// file takes the owner and group of its folder and keeps the mode it was made
// with; a new folder takes its parent's owner and group. Otherwise root
// changing a till user's setting would leave the user a hive it cannot read.
#pragma once

#include <string>
#include <sys/types.h>

namespace platform {

// Gives the open file `fd`, about to be renamed to `target`, the owner, group
// and mode described above; with `created`, `fd` is `target` itself, just made
// new, and takes its folder's owner and group.
// False with a sentence in `error` when the owner cannot be given (a user who
// is not root writing over another user's file): then the caller must not
// put the file in place.
bool KeepOwnership(int fd, const std::string& target, std::string& error, bool created = false);

// Makes one folder with `mode`, then gives it its parent's owner and group
// where they differ from the caller's (possible for root only; elsewhere the
// folder is the caller's, as mkdir makes it). Result and errno as mkdir(2).
int MakeOwnedFolder(const std::string& path, mode_t mode);

} // namespace platform
