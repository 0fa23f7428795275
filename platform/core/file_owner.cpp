#include "platform/core/file_owner.h"
#include "platform/core/errors.h"

#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

std::string ParentOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string UserName(uid_t uid) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
        return found->pw_name;
    }
    return "uid " + std::to_string(uid);
}

} // namespace

bool KeepOwnership(int fd, const std::string& target, std::string& error, bool created) {
    struct stat own {};
    struct stat wanted {};
    if (::fstat(fd, &own) != 0) {
        error = SystemError("cannot write " + target);
        return false;
    }
    bool replaces = !created && ::stat(target.c_str(), &wanted) == 0 && S_ISREG(wanted.st_mode);
    if (!replaces && ::stat(ParentOf(target).c_str(), &wanted) != 0) {
        error = SystemError("cannot write " + target);
        return false;
    }
    if ((wanted.st_uid != own.st_uid || wanted.st_gid != own.st_gid) &&
        ::fchown(fd, wanted.st_uid, wanted.st_gid) != 0) {
        error = "will not write " + target + ": it would no longer belong to " +
                UserName(wanted.st_uid) + " (" + ErrorText() + "; run as that user)";
        return false;
    }
    // A new file keeps the mode it was made with; fchown cleared no bits of it
    // that matter (a hive is no program).
    if (replaces && ::fchmod(fd, wanted.st_mode & 07777) != 0) {
        error = SystemError("cannot write " + target);
        return false;
    }
    return true;
}

int MakeOwnedFolder(const std::string& path, mode_t mode) {
    if (::mkdir(path.c_str(), mode) != 0) {
        return -1;
    }
    struct stat parent {};
    if (::geteuid() == 0 && ::stat(ParentOf(path).c_str(), &parent) == 0 &&
        (parent.st_uid != 0 || parent.st_gid != 0)) {
        // Best effort: a folder root could not give away is still usable by root.
        [[maybe_unused]] int given = ::lchown(path.c_str(), parent.st_uid, parent.st_gid);
    }
    return 0;
}

} // namespace platform
