#include "host/signals.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "platform/core/errors.h"
#include "platform/windowing/message_loop.h"

namespace host {
namespace {

// Blocks the signals and calls `onSignal` from the message loop for each that
// arrives. The descriptor lives as long as the program.
bool WatchSignals(std::initializer_list<int> numbers, const std::string& names,
                  std::function<void(int signal)> onSignal, std::string& error) {
    sigset_t signals;
    sigemptyset(&signals);
    for (int number : numbers) {
        sigaddset(&signals, number);
    }
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) {
        error = "cannot block " + names + ": " + platform::SystemError("sigprocmask");
        return false;
    }
    int fd = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd < 0) {
        error = "cannot watch " + names + ": " + platform::SystemError("signalfd");
        sigprocmask(SIG_UNBLOCK, &signals, nullptr);
        return false;
    }
    platform::AddWaitSource(fd, POLLIN, [onSignal = std::move(onSignal)](int fd, short) {
        signalfd_siginfo info{};
        while (read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            onSignal(static_cast<int>(info.ssi_signo));
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
}

} // namespace host
