#include "platform/ipc/remote_socket.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <linux/sockios.h>
#include <map>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>
#include <vector>

#include "platform/core/errors.h"
#include "platform/core/fd_io.h"
#include "platform/core/system.h"
#include "platform/core/unique_fd.h"
#include "platform/ipc/socket_address.h"
#include "platform/loop/wait_source_handle.h"
#include "platform/windowing/message_loop.h"

namespace platform::remote {
namespace {

// Connects without waiting: a connection to a Unix socket is made at once or
// refused at once, with EAGAIN when the server's queue of connections it has not
// taken yet is full (it has no descriptor left to take them). A blocking
// connect would wait for room there for ever, past any time limit of the caller.
// The calls that follow wait with poll() and limits of their own.
UniqueFd ConnectTo(const std::string& path) {
    std::string error;
    std::optional<SocketAddress> address = SocketAddress::For(path, error);
    if (!address) {
        return UniqueFd();
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.Valid() && ::connect(fd.Get(), address->Get(), address->Size()) != 0) {
        int failure = errno;
        fd.Reset();
        errno = failure;
    }
    return fd;
}

// Whether the server has read all that was sent to it: bytes it never read are
// still counted against the sender.
bool AllRead(int fd) {
    int unread = 0;
    return ::ioctl(fd, SIOCOUTQ, &unread) != 0 || unread == 0;
}

// While it waits for a reply, a client looks this often whether the serving
// program is stopped.
constexpr int kLookAtPeerMilliseconds = 200;

bool Stopped(long pid) {
    std::optional<char> state = ProcessRunState(pid);
    return state && (*state == 'T' || *state == 't');
}

// Waits until bytes come on `fd` or the deadline (none: no limit) passes,
// looking every little while whether the process `pid` at the other end is
// stopped. False when none came: then `late` says why, unless the wait failed.
bool WaitForBytes(int fd, long pid, std::optional<std::chrono::steady_clock::time_point> deadline,
                  NoReply& late) {
    for (;;) {
        int slice = kLookAtPeerMilliseconds;
        if (deadline) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                *deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                late = NoReply::TimedOut;
                return false;
            }
            slice = std::min(static_cast<int>(left.count()), slice);
        }
        pollfd ready{fd, POLLIN, 0};
        int polled = ::poll(&ready, 1, slice);
        if (polled > 0) {
            return true;
        }
        if (polled < 0 && errno != EINTR) {
            return false;
        }
        if (polled == 0 && Stopped(pid)) {
            late = NoReply::Stopped;
            return false;
        }
    }
}

// A request waits this long for room on a full socket before it gives up.
constexpr std::chrono::milliseconds kWaitWhileFull{5000};

// Replies wait here while a client does not read them, up to this much; a client
// that lets more pile up is dropped, so it never holds the program's thread.
constexpr std::size_t kMaxQueuedReplies = std::size_t{4} * kMaxPayload;

// With no descriptor left for a new connection, the listening socket is left
// alone this long: polled, it would be ready again at once, for ever.
constexpr long kAcceptBackOffMilliseconds = 500;

class SocketServer final : public Server {
  public:
    SocketServer(std::string path, UniqueFd listener, UniqueFd backOff, Handler handler)
        : path_(std::move(path)), listener_(std::move(listener)), backOff_(std::move(backOff)),
          handler_(std::move(handler)) {
        Listen();
        backOffSource_.Add(backOff_.Get(), POLLIN, [this](int, short) { EndBackOff(); });
    }

    ~SocketServer() override { ::unlink(path_.c_str()); }

    const std::string& Path() const override { return path_; }

  private:
    struct Connection {
        UniqueFd fd;
        WaitSourceHandle source; // removed before the descriptor closes
        std::vector<std::uint8_t> received;
        std::vector<std::uint8_t> replies; // not yet taken by the client
        bool statusOnly = false;           // root's connection to another user's program
    };

    void Listen() {
        listenSource_.Add(listener_.Get(), POLLIN, [this](int, short) { Accept(); });
    }

    void Accept() {
        UniqueFd accepted(
            ::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!accepted.Valid()) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                BackOff();
            }
            return;
        }
        ucred peer{};
        socklen_t size = sizeof peer;
        bool known = ::getsockopt(accepted.Get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0;
        if (!known || (peer.uid != ::getuid() && peer.uid != 0)) {
            NKDbgPrintfW(u"Refused a window-interface connection from another user");
            return;
        }
        backingOff_ = false;
        int fd = accepted.Get();
        connections_[fd].fd = std::move(accepted);
        connections_[fd].statusOnly = peer.uid != ::getuid();
        Watch(fd);
    }

    // The waiting connection stays queued until a descriptor is free again.
    void BackOff() {
        listenSource_.Remove();
        itimerspec due{};
        due.it_value.tv_nsec = kAcceptBackOffMilliseconds * 1000000;
        ::timerfd_settime(backOff_.Get(), 0, &due, nullptr);
        if (!backingOff_) {
            backingOff_ = true;
            NKDbgPrintfW(u"The window interface has no descriptor left for a connection; "
                         u"it takes connections again once one is free");
        }
    }

    void EndBackOff() {
        std::uint64_t expirations = 0;
        (void)!::read(backOff_.Get(), &expirations, sizeof expirations);
        if (!listenSource_.Added()) {
            Listen();
        }
    }

    // Waits for requests, and for room for the replies while some are queued.
    void Watch(int fd) {
        Connection& connection = connections_[fd];
        short events = connection.replies.empty() ? POLLIN : (POLLIN | POLLOUT);
        connection.source.Add(fd, events,
                              [this](int ready, short revents) { Serve(ready, revents); });
    }

    // Closes the connection on `fd`, if it is still open, with its wait source.
    void Close(int fd) { connections_.erase(fd); }

    void Serve(int fd, short revents) {
        if ((revents & POLLOUT) != 0 && !SendReplies(fd, connections_[fd].replies)) {
            Close(fd);
            return;
        }
        if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            Receive(fd);
        } else {
            Watch(fd);
        }
    }

    void Receive(int fd) {
        std::uint8_t chunk[4096];
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
            Close(fd);
            return;
        }
        if (n > 0) {
            std::vector<std::uint8_t>& received = connections_[fd].received;
            received.insert(received.end(), chunk, chunk + n);
        }
        // While a request is handled, a nested message loop (a modal dialog) may
        // run; this connection is taken off the loop until its replies are queued.
        connections_[fd].source.Remove();
        bool keep = HandleFrames(fd);
        auto found = connections_.find(fd);
        if (found == connections_.end() || !SendReplies(fd, found->second.replies) || !keep) {
            Close(fd);
            return;
        }
        Watch(fd);
    }

    // Answers every whole frame waiting on the connection; false to close it.
    bool HandleFrames(int fd) {
        for (;;) {
            auto found = connections_.find(fd);
            if (found == connections_.end()) {
                return false;
            }
            std::vector<std::uint8_t> payload;
            bool bad = false;
            if (!TakeFrame(found->second.received, payload, bad)) {
                return !bad;
            }
            std::optional<Request> request = DecodeRequest(payload);
            if (request && found->second.statusOnly && request->operation != Operation::Status) {
                request.reset(); // root reads the status; it changes nothing
            }
            Reply reply = request ? handler_(*request) : Reply{Status::Malformed, 0, u""};
            found = connections_.find(fd);
            if (found == connections_.end()) {
                return false;
            }
            std::vector<std::uint8_t> frame = Frame(EncodeReply(reply));
            std::vector<std::uint8_t>& replies = found->second.replies;
            if (replies.size() + frame.size() > kMaxQueuedReplies) {
                return false; // a client that does not read its replies
            }
            replies.insert(replies.end(), frame.begin(), frame.end());
            if (!request) {
                return false; // answered, then closed
            }
        }
    }

    // Sends what the socket takes now, without waiting; false when it failed.
    static bool SendReplies(int fd, std::vector<std::uint8_t>& replies) {
        while (!replies.empty()) {
            ssize_t n = RetryOnInterrupt([&] {
                return ::send(fd, replies.data(), replies.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            });
            if (n <= 0) {
                return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
            }
            replies.erase(replies.begin(), replies.begin() + n);
        }
        return true;
    }

    std::string path_;
    UniqueFd listener_;
    UniqueFd backOff_;
    Handler handler_;
    WaitSourceHandle listenSource_; // the sources go before the descriptors
    WaitSourceHandle backOffSource_;
    bool backingOff_ = false;
    std::map<int, Connection> connections_;
};

} // namespace

std::optional<char> ProcessRunState(long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (pid <= 0 || !std::getline(stat, line)) {
        return std::nullopt;
    }
    // pid (command) S ...: the command may hold spaces and parentheses.
    std::size_t close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size()) {
        return std::nullopt;
    }
    return line[close + 2];
}

bool StartServer(const std::string& path, Handler handler, std::unique_ptr<Server>& server,
                 std::string& error) {
    std::optional<SocketAddress> address = SocketAddress::For(path, error);
    if (!address) {
        return false;
    }
    // Nothing accepts on a socket that is there: the claim on the root is ours,
    // so a crashed program left it behind.
    ::unlink(path.c_str());
    const char* failed = nullptr;
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    UniqueFd backOff;
    if (!fd.Valid()) {
        failed = "socket";
    } else if (backOff.Reset(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK));
               !backOff.Valid()) {
        failed = "timerfd_create";
    } else if (::bind(fd.Get(), address->Get(), address->Size()) != 0) {
        failed = "bind";
    } else if (::chmod(path.c_str(), 0600) != 0) {
        failed = "chmod";
    } else if (::listen(fd.Get(), 16) != 0) {
        failed = "listen";
    }
    if (failed != nullptr) {
        error = "cannot serve " + path + ": " + SystemError(failed);
        return false;
    }
    server =
        std::make_unique<SocketServer>(path, std::move(fd), std::move(backOff), std::move(handler));
    return true;
}

std::unique_ptr<Client> Client::Connect(const std::string& path, NoReply* why) {
    UniqueFd fd = ConnectTo(path);
    if (!fd.Valid()) {
        if (why != nullptr) {
            *why = errno == EAGAIN ? NoReply::NotTaken : NoReply::Failed;
        }
        return nullptr;
    }
    return std::unique_ptr<Client>(new Client(std::move(fd)));
}

PeerIdentity Client::Peer() const {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd_.Get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
        return {0, static_cast<unsigned>(-1)}; // nobody this user would talk to
    }
    return {peer.pid, peer.uid};
}

std::optional<Reply> Client::Call(const Request& request, std::chrono::milliseconds timeout,
                                  NoReply* why) {
    NoReply ignored = NoReply::Failed;
    NoReply& reason = why != nullptr ? *why : ignored;
    reason = NoReply::Failed;
    std::optional<Reply> reply = Exchange(request, timeout, reason);
    if (!reply && reason == NoReply::TimedOut && !AllRead(fd_.Get())) {
        reason = NoReply::NotTaken;
    }
    return reply;
}

std::optional<Reply> Client::Exchange(const Request& request, std::chrono::milliseconds timeout,
                                      NoReply& late) {
    long pid = Peer().pid;
    if (Stopped(pid)) {
        late = NoReply::Stopped;
        return std::nullopt;
    }
    if (!SendAll(fd_.Get(), Frame(EncodeRequest(request)), kWaitWhileFull)) {
        late = errno == ETIMEDOUT ? NoReply::TimedOut : NoReply::Failed;
        return std::nullopt;
    }
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<std::uint8_t> buffer;
    for (;;) {
        std::vector<std::uint8_t> payload;
        bool bad = false;
        if (TakeFrame(buffer, payload, bad)) {
            return DecodeReply(payload);
        }
        if (bad) {
            return std::nullopt;
        }
        std::optional<std::chrono::steady_clock::time_point> until;
        if (timeout.count() >= 0) {
            until = deadline;
        }
        if (!WaitForBytes(fd_.Get(), pid, until, late)) {
            return std::nullopt;
        }
        std::uint8_t chunk[4096];
        ssize_t n = RetryOnInterrupt([&] { return ::recv(fd_.Get(), chunk, sizeof chunk, 0); });
        if (n <= 0) {
            return std::nullopt;
        }
        buffer.insert(buffer.end(), chunk, chunk + n);
    }
}

} // namespace platform::remote
