#include "platform/ipc/root_instance.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

#include "platform/core/errors.h"
#include "platform/core/unique_fd.h"

namespace platform::remote {
namespace {

std::string Folder(const std::string& root) {
    return root + "/instance";
}

std::string LockPath(const std::string& root) {
    return Folder(root) + "/lock";
}

// A folder is private when it is a real folder of ours that nobody else can enter.
bool PrivateFolder(const std::string& path, std::string& error) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        error = SystemError("cannot create " + path);
        return false;
    }
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::getuid() || (status.st_mode & 077) != 0) {
        error = path + " is not a private folder of this user";
        return false;
    }
    return true;
}

std::string UserName(unsigned uid) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    std::string number = "uid " + std::to_string(uid);
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
        return std::string(found->pw_name) + " (" + number + ")";
    }
    return number;
}

// Whether a program holds the root's lock, for a look that could not connect.
// A look only tests the lock (shared, let go at once) and never creates it.
void TestLock(const std::string& root, InstanceLook& look) {
    UniqueFd lock(::open(LockPath(root).c_str(), O_RDONLY | O_CLOEXEC));
    if (!lock.Valid()) {
        if (errno != ENOENT) {
            look.state = InstanceState::Unreachable;
            look.why = "cannot tell whether Swipetype runs on the device root " + root + ": " +
                       LockPath(root) + ": " + ErrorText();
        }
        return;
    }
    if (::flock(lock.Get(), LOCK_SH | LOCK_NB) == 0) {
        return; // left by a program that ended without removing it
    }
    look.state = InstanceState::Unreachable;
    look.why = "Swipetype runs on the device root " + root + " but does not answer on " +
               InstanceSocketPath(root);
}

} // namespace

std::string InstanceSocketPath(const std::string& root) {
    return Folder(root) + "/socket";
}

ClaimResult ClaimRoot(const std::string& root, LockFile& claim, std::string& error) {
    if (!PrivateFolder(Folder(root), error)) {
        return ClaimResult::Failed;
    }
    if (claim.Acquire(LockPath(root), std::chrono::milliseconds(0))) {
        return ClaimResult::Claimed;
    }
    if (errno == EWOULDBLOCK) {
        return ClaimResult::HeldByAnother;
    }
    error = "cannot lock " + LockPath(root) + ": " + SystemError(claim.FailedCall());
    return ClaimResult::Failed;
}

InstanceLook LookForInstance(const std::string& root) {
    InstanceLook look;
    if (root.empty()) {
        return look;
    }
    NoReply refused = NoReply::Failed;
    std::unique_ptr<Client> client = Client::Connect(InstanceSocketPath(root), &refused);
    if (client == nullptr && refused == NoReply::NotTaken) {
        // Its queue of connections is full: it runs, but takes none.
        look.state = InstanceState::Unreachable;
        look.notTaken = true;
        look.peer.pid = InstanceHolder(root);
        look.why = DescribeUnanswered(root, look.peer.pid, "takes no connection");
        return look;
    }
    if (client == nullptr) {
        TestLock(root, look);
        return look;
    }
    look.peer = client->Peer();
    if (look.peer.uid != ::getuid()) {
        look.state = InstanceState::AnotherUser;
        look.why = "Swipetype runs on the device root " + root + " as " + UserName(look.peer.uid) +
                   ", pid " + std::to_string(look.peer.pid) + "; only that user may reach it";
        if (::getuid() == 0) {
            look.client = std::move(client); // for the status alone
        }
        return look;
    }
    look.state = InstanceState::Reachable;
    look.client = std::move(client);
    return look;
}

long InstanceHolder(const std::string& root) {
    struct stat lock {};
    if (::stat(LockPath(root).c_str(), &lock) != 0) {
        return 0;
    }
    // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; a waiter's line has "->".
    std::ifstream locks("/proc/locks");
    char device[64];
    std::snprintf(device, sizeof device, "%02x:%02x:%llu", major(lock.st_dev), minor(lock.st_dev),
                  static_cast<unsigned long long>(lock.st_ino));
    for (std::string line; std::getline(locks, line);) {
        std::istringstream words(line);
        std::string number, kind, mode, access, where;
        long pid = 0;
        if (words >> number >> kind >> mode >> access >> pid >> where && kind == "FLOCK" &&
            where == device) {
            return pid;
        }
    }
    return 0;
}

namespace {

// How many descriptors the process has open, and may have; nothing when /proc
// does not say (another user's process).
bool DescriptorsUsedUp(long pid) {
    std::string base = "/proc/" + std::to_string(pid);
    DIR* folder = ::opendir((base + "/fd").c_str());
    if (folder == nullptr) {
        return false;
    }
    unsigned long open = 0;
    while (const dirent* entry = ::readdir(folder)) {
        open += entry->d_name[0] != '.' ? 1 : 0;
    }
    ::closedir(folder);
    std::ifstream limits(base + "/limits");
    for (std::string line; std::getline(limits, line);) {
        if (line.starts_with("Max open files")) {
            std::istringstream words(line.substr(14));
            unsigned long soft = 0;
            return words >> soft && open >= soft;
        }
    }
    return false;
}

const char* StateWords(char state) {
    switch (state) {
    case 'R':
        return "running";
    case 'S':
        return "sleeping";
    case 'D':
        return "in an uninterruptible wait";
    case 'Z':
        return "a zombie";
    default:
        return "in state ";
    }
}

} // namespace

std::string DescribeUnanswered(const std::string& root, long pid, const std::string& otherwise) {
    std::string who = "Swipetype on the device root " + root;
    if (pid <= 0) {
        return who + " " + otherwise;
    }
    who += " (pid " + std::to_string(pid) + ")";
    std::optional<char> state = ProcessRunState(pid);
    if (state && (*state == 'T' || *state == 't')) {
        return who + " is stopped; it answers once it goes on (kill -CONT " + std::to_string(pid) +
               ")";
    }
    if (DescriptorsUsedUp(pid)) {
        return who + " has no file descriptor left to take the connection (see its standard "
                     "error)";
    }
    if (!state) {
        return who + " " + otherwise;
    }
    std::string words = StateWords(*state);
    if (words.ends_with(' ')) {
        words += *state;
    }
    return who + " " + otherwise + " (it is " + words + ")";
}

} // namespace platform::remote
