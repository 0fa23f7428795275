// How the program of a device root is found: through the root itself, so that
// a second start, swipetype-send and swipetype-config find it whatever
// XDG_RUNTIME_DIR, HOME or sudo say, and without /tmp.
//
// <root>/instance is a folder of the user's own that nobody else may enter
// (mode 0700). The program that runs on the root holds instance/lock for as
// long as it runs (an flock: the kernel lets go when the process ends, however
// it ends) and serves the window interface on instance/socket (mode 0600, a
// connection from another user closed unread). A look at the root therefore
// tells whether a program runs there, and how to reach it; a program that
// finds the lock held never runs beside the one holding it.
#pragma once

#include <memory>
#include <string>

#include "platform/core/lock_file.h"
#include "platform/ipc/remote_socket.h"

namespace platform::remote {

std::string InstanceSocketPath(const std::string& root);

enum class ClaimResult { Claimed, HeldByAnother, Failed };

// Takes the root's lock for this process; `claim` holds it until released.
// Failed, with a sentence in `error`, when the folder cannot be made or is not
// the user's own and private (a read-only root, a root of another user).
ClaimResult ClaimRoot(const std::string& root, LockFile& claim, std::string& error);

enum class InstanceState {
    None,        // no program runs on the root
    Reachable,   // one runs and answers: `client` is connected to it
    AnotherUser, // one runs as another user, who alone may talk to it
    Unreachable, // one holds the root but does not serve, or it cannot be told
};

struct InstanceLook {
    InstanceState state = InstanceState::None;
    PeerIdentity peer;              // Reachable and AnotherUser
    std::string why;                // AnotherUser and Unreachable: one sentence
    bool notTaken = false;          // Unreachable: it could not take the connection now
    std::unique_ptr<Client> client; // Reachable
};

// Looks for the program running on a device root. Creates nothing. Root,
// looking at another user's program, gets AnotherUser with `client` connected
// all the same: that program gives root its status, and nothing else.
InstanceLook LookForInstance(const std::string& root);

// The pid of the program holding the root's lock (from /proc/locks); 0 when
// none can be told.
long InstanceHolder(const std::string& root);

// One sentence on the program of `root` (pid `pid`, 0 when not known) that gave
// no answer, as /proc tells: stopped, out of file descriptors, or else
// `otherwise` ("gave no answer within 5 s") with its state.
std::string DescribeUnanswered(const std::string& root, long pid, const std::string& otherwise);

} // namespace platform::remote
