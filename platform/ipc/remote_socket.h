// The Unix socket that carries the cross-process window interface.
//
// One socket per user and device root lives in a folder only the user can enter
// ($XDG_RUNTIME_DIR, else /tmp/swipetype-<uid>, mode 0700, owned by the user);
// its name is a hash of the device root. The first instance on a root serves it;
// later instances, swipetype-send and tests connect to it. A connection from
// another user is closed unread (peer credentials), and a socket left behind by
// a crashed instance is recognised (nothing accepts on it) and replaced.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/ipc/remote_protocol.h"

namespace platform::remote {

// The socket path for a device root, creating the private folder if needed.
// Empty, with a sentence in `error`, when no safe folder can be had.
std::string SocketPathForRoot(const std::string& root, std::string& error);

using Handler = std::function<Reply(const Request&)>;

// Serves the socket on the message loop's wait sources: each request is handled
// on the loop's thread by `handler`, and its reply written back at once.
class Server {
  public:
    virtual ~Server() = default;
    virtual const std::string& Path() const = 0;
};

enum class StartResult { Serving, AnotherInstanceServes, Failed };

// Becomes the server for the path unless a live instance already serves it.
// Start-up races between two instances are settled with a lock file beside the
// socket. On Failed, `error` says why.
StartResult StartServer(const std::string& path, Handler handler, std::unique_ptr<Server>& server,
                        std::string& error);

// Why a call got no reply: the connection failed or the reply was bad; the
// time ran out after the serving instance took the request (a modal dialog
// holds it); or the instance never took it: its queue of connections is full,
// or it did not read the request in time, both of which happen when it has no
// descriptor left to accept a connection.
enum class NoReply { Failed, TimedOut, NotTaken };

// A connection to the instance serving a path, for blocking request/reply calls.
class Client {
  public:
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Connects; empty when nothing serves the path, or (*why NotTaken) when
    // the instance serving it cannot take another connection now.
    static std::unique_ptr<Client> Connect(const std::string& path, NoReply* why = nullptr);

    // Sends a request and waits for its reply, at most `timeout` (negative: no
    // limit). Empty when there is none; then *why (when given) says why.
    std::optional<Reply> Call(const Request& request, std::chrono::milliseconds timeout,
                              NoReply* why = nullptr);

  private:
    explicit Client(int fd) : fd_(fd) {}
    std::optional<Reply> Exchange(const Request& request, std::chrono::milliseconds timeout,
                                  bool& late);
    int fd_;
};

} // namespace platform::remote
