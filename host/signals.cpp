#include "host/signals.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/windowing/message_loop.h"

namespace host {

bool HandleEndingSignals(std::function<void(int signal)> onSignal, std::string& error) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) {
        error = std::string("cannot block SIGINT, SIGTERM and SIGHUP: ") + std::strerror(errno);
        return false;
    }
    int fd = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd < 0) {
        error = std::string("cannot watch SIGINT, SIGTERM and SIGHUP: ") + std::strerror(errno);
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

void IgnoreBrokenPipes() {
    ::signal(SIGPIPE, SIG_IGN);
}

} // namespace host
