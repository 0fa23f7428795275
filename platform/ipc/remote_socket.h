// The Unix socket that carries the cross-process window interface: served by
// the program of a device root, in a folder of that root only its user can enter
// (root_instance.h says where and who may serve it); later instances,
// swipetype-send, swipetype-config and tests connect to it. A connection from
// another user is closed unread (peer credentials), except root's, which may
// ask for the status and nothing else.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/core/unique_fd.h"
#include "platform/ipc/remote_protocol.h"

namespace platform::remote {

using Handler = std::function<Reply(const Request&)>;

// Serves the socket on the message loop's wait sources: each request is handled
// on the loop's thread by `handler`, and its reply written back at once.
class Server {
  public:
    virtual ~Server() = default;
    virtual const std::string& Path() const = 0;
};

// Serves the socket at `path` (mode 0600), replacing a socket a crashed
// program left there: the caller holds the claim on the device root
// (root_instance.h), so no other program serves it. False, with a sentence in
// `error`, when the socket cannot be made.
bool StartServer(const std::string& path, Handler handler, std::unique_ptr<Server>& server,
                 std::string& error);

// Who is at the other end of a connection, as the kernel saw it connect.
struct PeerIdentity {
    long pid = 0;
    unsigned uid = 0;
};

// Why a call got no reply: the connection failed or the reply was bad; the
// time ran out after the serving instance took the request (a modal dialog
// holds it); or the instance never took it: its queue of connections is full,
// or it did not read the request in time (it has no descriptor left to accept a
// connection, or its loop does not turn); or it is stopped (SIGSTOP, a
// debugger), which the wait looks at while it waits, so that it gives up at once.
enum class NoReply { Failed, TimedOut, NotTaken, Stopped };

// The state letter of /proc/PID/stat ('R', 'S', 'D', 'T' stopped, 't' traced,
// 'Z'...); nothing when the process cannot be looked at.
std::optional<char> ProcessRunState(long pid);

// A connection to the instance serving a path, for blocking request/reply calls.
class Client {
  public:
    ~Client() = default;
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Connects; empty when nothing serves the path, or (*why NotTaken) when
    // the instance serving it cannot take another connection now.
    static std::unique_ptr<Client> Connect(const std::string& path, NoReply* why = nullptr);

    // The serving process: a client talks on only to one of its own user.
    PeerIdentity Peer() const;

    // Sends a request and waits for its reply, at most `timeout` (negative: no
    // limit). Empty when there is none; then *why (when given) says why.
    std::optional<Reply> Call(const Request& request, std::chrono::milliseconds timeout,
                              NoReply* why = nullptr);

  private:
    explicit Client(UniqueFd fd) : fd_(std::move(fd)) {}
    std::optional<Reply> Exchange(const Request& request, std::chrono::milliseconds timeout,
                                  NoReply& late);
    UniqueFd fd_;
};

} // namespace platform::remote
