// swipetype-sim: a card reader or a modem on a pseudo-terminal, for trying the program without
// the hardware and for end-to-end tests. See --help.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mode.h"
#include "options.h"
#include "platform/core/errors.h"

namespace sim {
namespace {

// A longer input line is not a swipe or a tag; it is dropped rather than kept.
constexpr std::size_t kLongestInputLine = 65536;
// How long --exit-at-end waits for the program to read what was sent.
constexpr std::chrono::seconds kDrainLimit{10};

void Fail(const std::string& message) {
    std::fprintf(stderr, "swipetype-sim: %s\n", message.c_str());
}

// Splits the input into lines and hands each to the mode.
class InputLines {
  public:
    InputLines(Mode& mode, Session& session) : mode_(mode), session_(session) {}

    void Feed(std::string_view bytes) {
        for (char byte : bytes) {
            if (byte == '\n') {
                Flush();
            } else if (pending_.size() < kLongestInputLine) {
                pending_ += byte;
            } else {
                tooLong_ = true;
            }
        }
    }

    // At the end of the input, a last line without a line break still counts.
    void Finish() {
        if (!pending_.empty() || tooLong_) {
            Flush();
        }
    }

  private:
    void Flush() {
        if (tooLong_) {
            session_.Warn("input line longer than 65536 bytes ignored");
        } else {
            if (!pending_.empty() && pending_.back() == '\r') {
                pending_.pop_back();
            }
            mode_.OnInputLine(session_, pending_);
        }
        pending_.clear();
        tooLong_ = false;
    }

    Mode& mode_;
    Session& session_;
    std::string pending_;
    bool tooLong_ = false;
};

int SignalDescriptor() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    return signalfd(-1, &signals, SFD_CLOEXEC);
}

int OpenInput(const std::string& path) {
    if (path.empty() || path == "-") {
        return STDIN_FILENO;
    }
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Fail(platform::SystemError("cannot open " + path));
    }
    return fd;
}

bool MakeLink(const std::string& link, const std::string& target) {
    struct stat existing {};
    if (lstat(link.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode)) {
            Fail(link + " exists and is not a symbolic link; not replacing it");
            return false;
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        Fail(platform::SystemError("cannot make the link " + link));
        return false;
    }
    return true;
}

void RemoveLink(const std::string& link, const std::string& target) {
    char pointsTo[256];
    ssize_t length = readlink(link.c_str(), pointsTo, sizeof pointsTo - 1);
    if (length > 0 && std::string(pointsTo, static_cast<std::size_t>(length)) == target) {
        unlink(link.c_str());
    }
}

struct Loop {
    Mode& mode;
    Session& session;
    int input;
    int signals;
    bool exitAtEnd;
};

// Reads what the program wrote; false when the line failed.
bool ServeLine(Loop& loop) {
    char bytes[4096];
    ssize_t got = read(loop.session.line.MasterFd(), bytes, sizeof bytes);
    if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EIO)) {
        return true;
    }
    if (got < 0) {
        Fail(std::string("cannot read the line: ") + platform::ErrorText());
        return false;
    }
    loop.mode.OnLineBytes(loop.session, std::string_view(bytes, static_cast<std::size_t>(got)));
    return true;
}

// Reads input; false at its end.
bool ServeInput(Loop& loop, InputLines& lines) {
    char bytes[4096];
    ssize_t got = read(loop.input, bytes, sizeof bytes);
    if (got < 0 && errno == EINTR) {
        return true;
    }
    if (got <= 0) {
        if (got < 0) {
            Fail(std::string("cannot read the input: ") + platform::ErrorText());
        }
        lines.Finish();
        return false;
    }
    lines.Feed(std::string_view(bytes, static_cast<std::size_t>(got)));
    return true;
}

// The poll time-out, shortened to when the mode next wants OnTime.
int PollTimeout(const Mode& mode, int timeout) {
    auto due = mode.NextTime();
    if (!due) {
        return timeout;
    }
    auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*due - std::chrono::steady_clock::now());
    int wait = static_cast<int>(std::max<long long>(left.count(), 0));
    return timeout < 0 ? wait : std::min(timeout, wait);
}

// Gives the mode its OnTime once the time it asked for has come. Bytes that came
// meanwhile were handed over first, so they can still call off what was due.
void ServeModeTime(Loop& loop) {
    auto due = loop.mode.NextTime();
    if (due && std::chrono::steady_clock::now() >= *due) {
        loop.mode.OnTime(loop.session);
    }
}

// Waits for a signal, the line, the input or the mode's next time; false (and
// said) when the wait fails.
bool WaitForWork(Loop& loop, bool inputOpen, pollfd (&fds)[3]) {
    int timeout = PollTimeout(loop.mode, !inputOpen && loop.exitAtEnd ? 20 : -1);
    if (poll(fds, 3, timeout) < 0 && errno != EINTR) {
        Fail(std::string("poll: ") + platform::ErrorText());
        return false;
    }
    return true;
}

// Once the input ended and the simulator is to exit: its status when the program
// has read everything or the wait for that ran out, nothing while it still reads.
std::optional<int> DrainedStatus(Loop& loop, std::chrono::steady_clock::time_point inputEnded) {
    if (loop.session.line.Unread() == 0) {
        return 0;
    }
    if (std::chrono::steady_clock::now() - inputEnded > kDrainLimit) {
        Fail("the program has not read the last " + std::to_string(loop.session.line.Unread()) +
             " bytes; giving up");
        return 1;
    }
    return std::nullopt;
}

int Run(Loop& loop) {
    InputLines lines(loop.mode, loop.session);
    bool inputOpen = true;
    std::chrono::steady_clock::time_point inputEnded;
    for (;;) {
        if (!inputOpen && loop.exitAtEnd) {
            if (std::optional<int> status = DrainedStatus(loop, inputEnded)) {
                return *status;
            }
        }
        pollfd fds[3] = {{loop.signals, POLLIN, 0},
                         {loop.session.line.MasterFd(), POLLIN, 0},
                         {inputOpen ? loop.input : -1, POLLIN, 0}};
        if (!WaitForWork(loop, inputOpen, fds)) {
            return 1;
        }
        if (fds[0].revents != 0) {
            return 0;
        }
        if (fds[1].revents != 0 && !ServeLine(loop)) {
            return 1;
        }
        if (fds[2].revents != 0 && !ServeInput(loop, lines)) {
            inputOpen = false;
            inputEnded = std::chrono::steady_clock::now();
            loop.session.Report(loop.exitAtEnd
                                    ? "end of input"
                                    : "end of input; the line stays up until interrupted");
        }
        ServeModeTime(loop);
    }
}

int Simulate(Options& options) {
    PseudoTerminal line;
    std::string error;
    if (!line.Open(error)) {
        Fail(error);
        return 1;
    }
    if (!options.link.empty() && !MakeLink(options.link, line.SlavePath())) {
        return 1;
    }
    int input = OpenInput(options.input);
    int signals = SignalDescriptor();
    int status = 1;
    if (input >= 0 && signals >= 0) {
        std::printf("%s\n", line.SlavePath().c_str());
        std::fflush(stdout);
        unsigned baud = options.baud != 0 ? options.baud : options.mode->DefaultBaud();
        Session session{line, baud, options.quiet};
        Loop loop{*options.mode, session, input, signals, options.exitAtEnd};
        status = options.mode->Start(session) ? Run(loop) : 1;
    }
    if (!options.link.empty()) {
        RemoveLink(options.link, line.SlavePath());
    }
    return status;
}

} // namespace
} // namespace sim

int main(int argc, char** argv) {
    auto modes = sim::MakeModes();
    sim::Options options;
    std::string error;
    if (!sim::ParseOptions(argc, argv, modes, options, error)) {
        std::fprintf(stderr, "swipetype-sim: %s (see swipetype-sim --help)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        sim::PrintHelp(modes, options.mode);
        return 0;
    }
    if (options.version) {
        std::printf("swipetype-sim %s\n", SWIPETYPE_VERSION);
        return 0;
    }
    return sim::Simulate(options);
}
