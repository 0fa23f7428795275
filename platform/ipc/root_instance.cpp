#include "platform/ipc/root_instance.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
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
        error = "cannot create " + path + ": " + std::strerror(errno);
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
                       LockPath(root) + ": " + std::strerror(errno);
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
        // Its queue of connections is full: it runs, but has no descriptor left.
        look.state = InstanceState::Unreachable;
        look.notTaken = true;
        look.why = "Swipetype runs on the device root " + root +
                   " but could not take the connection (it may have no file descriptor left: "
                   "see its standard error)";
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
        return look;
    }
    look.state = InstanceState::Reachable;
    look.client = std::move(client);
    return look;
}

} // namespace platform::remote
