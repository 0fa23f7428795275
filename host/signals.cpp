#include "host/signals.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "platform/core/errors.h"
#include "platform/core/unique_fd.h"
#include "platform/windowing/message_loop.h"

namespace host {
namespace {

// The write end of the pipe each watched signal is passed through, by number.
// The signals stay unblocked: a mask set here would pass to every process the
// program or its libraries start (a session bus autolaunched by GLib, its
// helpers), which would then ignore SIGTERM for good. A handler is reset to the
// default by exec, so children start as any process does.
std::array<volatile sig_atomic_t, NSIG> signalPipes = [] {
    std::array<volatile sig_atomic_t, NSIG> pipes{};
    for (auto& fd : pipes) {
        fd = -1;
    }
    return pipes;
}();

void PassSignal(int number) {
    int saved = errno;
    int fd = signalPipes[static_cast<std::size_t>(number)];
    if (fd >= 0) {
        auto byte = static_cast<unsigned char>(number);
        // A full pipe already holds a wake-up for this signal; nothing else can be done here.
        [[maybe_unused]] ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

// A child made by fork() that execs without resetting them would keep the
// dispositions set here; it starts with SIGPIPE back at its default.
void ResetSignalsInChild() {
    ::signal(SIGPIPE, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::pthread_sigmask(SIG_SETMASK, &none, nullptr);
}

// Calls `onSignal` from the message loop for each of the signals that arrives,
// passed by their handler through a pipe the loop waits on. The pipe lives as
// long as the program.
bool WatchSignals(std::initializer_list<int> numbers, const std::string& names,
                  std::function<void(int signal)> onSignal, std::string& error) {
    int ends[2];
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = "cannot watch " + names + ": " + platform::SystemError("pipe2");
        return false;
    }
    platform::UniqueFd readEnd(ends[0]);
    for (int number : numbers) {
        signalPipes[static_cast<std::size_t>(number)] = ends[1];
        struct sigaction action {};
        action.sa_handler = PassSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        if (::sigaction(number, &action, nullptr) != 0) {
            error = "cannot watch " + names + ": " + platform::SystemError("sigaction");
            return false;
        }
    }
    platform::AddWaitSource(readEnd.Release(), POLLIN,
                            [onSignal = std::move(onSignal)](int fd, short) {
                                unsigned char number = 0;
                                while (::read(fd, &number, 1) == 1) {
                                    onSignal(number);
                                }
                            });
    return true;
}

} // namespace

bool HandleEndingSignals(std::function<void(int signal)> onSignal, std::string& error) {
    return WatchSignals({SIGINT, SIGTERM, SIGHUP}, "SIGINT, SIGTERM and SIGHUP",
                        std::move(onSignal), error);
}

bool HandleReopenSignal(std::function<void()> onReopen, std::string& error) {
    return WatchSignals(
        {SIGUSR1}, "SIGUSR1", [onReopen = std::move(onReopen)](int) { onReopen(); }, error);
}

void IgnoreBrokenPipes() {
    ::signal(SIGPIPE, SIG_IGN);
    ::pthread_atfork(nullptr, nullptr, ResetSignalsInChild);
}

} // namespace host
