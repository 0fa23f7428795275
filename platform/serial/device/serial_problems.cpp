#include "platform/serial/device/serial_problems.h"
#include "platform/core/errors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

bool InGroup(gid_t group) {
    if (::getegid() == group) {
        return true;
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    groups.resize(static_cast<std::size_t>(std::max(count, 0)));
    return std::find(groups.begin(), groups.end(), group) != groups.end();
}

std::string GroupName(gid_t id) {
    const group* entry = ::getgrgid(id);
    return entry != nullptr ? entry->gr_name : std::to_string(id);
}

std::string UserName(uid_t id) {
    const passwd* entry = ::getpwuid(id);
    return entry != nullptr ? entry->pw_name : std::to_string(id);
}

} // namespace

PermissionProblem WhyNotPermitted(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return {};
    }
    std::string group = GroupName(info.st_gid);
    // A group that may read and write the device, other than root's own, is the
    // one to join; a device that no such group may open is not mended by joining
    // one (dialout does nothing for a device of root's).
    if ((info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP) && info.st_gid != 0) {
        if (InGroup(info.st_gid)) {
            return {};
        }
        return {"it belongs to group " + group + ", which you are not in",
                "Add your user to the " + group + " group and log in again."};
    }
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return {"it belongs to " + UserName(info.st_uid) + ":" + group + " with mode " + mode +
                ", which lets none of your groups read and write it",
            "Have it given to a group you are in, for example with a udev rule setting "
            "GROUP=\"dialout\" and MODE=\"0660\"."};
}

std::string CannotOpenNotice(const std::string& port, const std::string& path, int error) {
    std::string start = "Cannot open " + path + ": ";
    std::string naming = "name the reader's port with --port " + port + ":=PATH.";
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return start + "no such device. Plug in the reader, or " + naming;
    case EACCES:
    case EPERM: {
        PermissionProblem problem = WhyNotPermitted(path);
        if (problem.cause.empty()) {
            return start + "permission denied. Check its owner, group and mode (ls -lL " + path +
                   ").";
        }
        return start + "permission denied: " + problem.cause + ". " + problem.remedy;
    }
    case EBUSY:
        return start + "it is in use by another program. Close that program, or " + naming;
    case ENOTTY:
        return start + "it is not a serial device. Check the path, or " + naming;
    default:
        return start + ErrorText(error) + ". Check the device and its cable.";
    }
}

std::string CannotSetUpNotice(const std::string& path, int error) {
    return "Cannot set up " + path + " for the reader: " + ErrorText(error) +
           ". Check that it is the serial port the reader is on.";
}

std::string GoneNotice(const std::string& path) {
    return "The reader at " + path +
           " was disconnected. Plug it in again; reading resumes by itself.";
}

} // namespace platform
