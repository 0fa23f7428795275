#include "platform/core/output_queue.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/event_log.h"
#include "platform/core/fd_io.h"
#include "platform/core/standard_streams.h"

namespace platform {
namespace {

struct Output {
    std::string queued;
    std::size_t thisMessage = 0; // bytes at the queue's end that the current message wrote
    bool dropping = false;
    std::size_t dropped = 0;
};

std::map<int, Output>& Outputs() {
    static std::map<int, Output> outputs;
    return outputs;
}

std::string NameOf(int fd) {
    if (fd == STDOUT_FILENO) {
        return "standard output";
    }
    return fd == STDERR_FILENO ? "standard error" : "descriptor " + std::to_string(fd);
}

enum class Way { Write, Send, PollFirst };

Way WayOf(int fd) {
    int flags = ::fcntl(fd, F_GETFL);
    struct stat status {};
    if ((flags >= 0 && (flags & O_NONBLOCK) != 0) || ::fstat(fd, &status) != 0) {
        return Way::Write; // a bad descriptor is told by the write itself
    }
    if (S_ISSOCK(status.st_mode)) {
        return Way::Send;
    }
    return S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode) ? Way::PollFirst : Way::Write;
}

// One attempt: the bytes written, or -1 with errno (EAGAIN: nothing taken now).
ssize_t PutSome(int fd, Way way, const char* data, std::size_t size) {
    if (way == Way::Send) {
        return ::send(fd, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
    }
    if (way == Way::PollFirst) {
        pollfd room{fd, POLLOUT, 0};
        int ready = ::poll(&room, 1, 0);
        if (ready <= 0) {
            errno = ready == 0 ? EAGAIN : errno;
            return -1;
        }
        size = std::min<std::size_t>(size, PIPE_BUF);
    }
    return ::write(fd, data, size);
}

// Writes what fd takes now; `done` says how much. False with errno on failure.
bool Put(int fd, std::string_view bytes, std::size_t& done) {
    Way way = WayOf(fd);
    done = 0;
    while (done < bytes.size()) {
        ssize_t n = RetryOnInterrupt(
            [&] { return PutSome(fd, way, bytes.data() + done, bytes.size() - done); });
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        } else {
            errno = n == 0 ? ENOSPC : errno;
            return false;
        }
    }
    return true;
}

// In the event log and on standard error. Standard error's own note goes to the
// end of its queue whatever the limit, to be read when the rest is.
void Say(int fd, const std::string& text) {
    WriteEvent("debug", "\"text\":" + JsonString(Utf8ToUtf16(text)));
    std::string line =
        JournalPrefix(JournalPriority::Warning) + std::string("swipetype: ") + text + "\n";
    Output& error = Outputs()[STDERR_FILENO];
    if (fd == STDERR_FILENO && error.dropping) {
        error.queued += line;
    } else {
        (void)WriteWithoutWaiting(STDERR_FILENO, line);
    }
}

void Queue(int fd, Output& output, std::string_view rest) {
    if (output.queued.size() + rest.size() <= kOutputQueueLimit) {
        output.queued.append(rest);
        output.thisMessage += rest.size();
        return;
    }
    output.queued.resize(output.queued.size() - output.thisMessage);
    output.dropped = output.thisMessage + rest.size();
    output.thisMessage = 0;
    output.dropping = true;
    Say(fd, NameOf(fd) + " is not being read: what does not fit in the " +
                std::to_string(kOutputQueueLimit) +
                " bytes waiting for it is dropped until it is read again");
}

void EndDropping(int fd, Output& output) {
    std::size_t dropped = output.dropped;
    output.dropping = false;
    output.dropped = 0;
    Say(fd, NameOf(fd) + " is read again; " + std::to_string(dropped) +
                " bytes written to it meanwhile were dropped");
}

} // namespace

bool WriteWithoutWaiting(int fd, std::string_view bytes) {
    Output& output = Outputs()[fd];
    if (output.dropping) {
        output.dropped += bytes.size();
        return true;
    }
    if (!output.queued.empty()) {
        Queue(fd, output, bytes);
        return true;
    }
    std::size_t done = 0;
    if (!Put(fd, bytes, done)) {
        return false;
    }
    if (done < bytes.size()) {
        Queue(fd, output, bytes.substr(done));
    }
    return true;
}

void AddQueuedOutputs(std::vector<pollfd>& polled) {
    for (auto& [fd, output] : Outputs()) {
        output.thisMessage = 0;
        if (!output.queued.empty()) {
            polled.push_back({fd, POLLOUT, 0});
        }
    }
}

void WriteQueuedOutputs(const std::vector<pollfd>& polled) {
    for (const pollfd& ready : polled) {
        auto found = Outputs().find(ready.fd);
        if (ready.revents == 0 || found == Outputs().end() || found->second.queued.empty()) {
            continue;
        }
        Output& output = found->second;
        std::size_t done = 0;
        bool written = Put(ready.fd, output.queued, done);
        output.queued.erase(0, done);
        if (!written) {
            output = Output{};
        } else if (output.queued.empty() && output.dropping) {
            EndDropping(ready.fd, output);
        }
    }
}

void FlushQueuedOutputs(std::chrono::milliseconds patience) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + patience;
    for (;;) {
        std::vector<pollfd> polled;
        AddQueuedOutputs(polled);
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (polled.empty() || left.count() <= 0) {
            break;
        }
        int ready = ::poll(polled.data(), polled.size(), static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (ready > 0) {
            WriteQueuedOutputs(polled);
        }
    }
    std::vector<std::pair<int, std::size_t>> lost;
    for (auto& [fd, output] : Outputs()) {
        if (!output.queued.empty() || output.dropping) {
            lost.emplace_back(fd, output.queued.size() + output.dropped);
            output = Output{};
        }
    }
    for (auto [fd, bytes] : lost) {
        Say(fd, NameOf(fd) + " was not read before the end: " + std::to_string(bytes) +
                    " bytes written to it were dropped");
    }
}

} // namespace platform
