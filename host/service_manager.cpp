#include "host/service_manager.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/timerfd.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include "host/status_answer.h"
#include "platform/core/errors.h"
#include "platform/core/unique_fd.h"
#include "platform/loop/wait_source_handle.h"

namespace host {
namespace {

using std::chrono::microseconds;

// Without a watchdog the status line is looked at this often.
constexpr microseconds kStatusPeriod = std::chrono::seconds(2);

// A reader that is neither open nor waited for this long after the start (off
// by the settings, or it cannot be opened: a device of another group, say)
// does not hold the start up for ever: the program is ready, and its status
// line says what is wrong.
constexpr auto kReadyAtLatest = std::chrono::seconds(10);

struct Notifier {
    platform::UniqueFd timer;
    platform::WaitSourceHandle source;
    bool ready = false;
    bool watchdog = false;
    std::chrono::steady_clock::time_point started;
    std::string status;
};

Notifier& State() {
    static Notifier notifier;
    return notifier;
}

void Notify(const std::string& text) {
    (void)sd_notify(0, text.c_str());
}

// One turn of the loop reached the timer: the loop turns.
void Tick() {
    Notifier& state = State();
    std::uint64_t expirations = 0;
    (void)!::read(state.timer.Get(), &expirations, sizeof expirations);
    std::string message;
    status_report::Status now = CurrentStatus();
    // Ready once the reader is open or waited for. (The settings are read
    // while the loop already turns, in the main window's creation: a reader off
    // by them is told from one not opened yet only by the time it takes.)
    if (!state.ready && (now.reader != "off" ||
                         std::chrono::steady_clock::now() - state.started > kReadyAtLatest)) {
        message += "READY=1\n";
        state.ready = true;
    }
    if (state.watchdog) {
        message += "WATCHDOG=1\n";
    }
    std::string status = ServiceStatusLine(now);
    if (status != state.status) {
        message += "STATUS=" + status + "\n";
        state.status = status;
    }
    if (!message.empty()) {
        Notify(message);
    }
}

} // namespace

std::string ServiceStatusLine(const status_report::Status& status) {
    std::string line = "reader " + status.reader;
    if (!status.device.empty()) {
        line += " on " + status.device;
    }
    line += "; keys: " + status.sink;
    if (status.keys == "lost") {
        line += ", lost since " + status.lostSince;
    } else if (status.keys == "typing") {
        line += ", typing";
    }
    line += "; reads: " + std::to_string(status.goodReads) + " good, " +
            std::to_string(status.badReads) + " bad, " + std::to_string(status.droppedReads) +
            " dropped";
    return line;
}

bool StartServiceNotifications(std::string& error) {
    const char* socket = std::getenv("NOTIFY_SOCKET");
    if (socket == nullptr || *socket == '\0') {
        return true;
    }
    Notifier& state = State();
    state.started = std::chrono::steady_clock::now();
    std::uint64_t watchdogUsec = 0;
    state.watchdog = sd_watchdog_enabled(0, &watchdogUsec) > 0;
    // Fed at a third of the watchdog's time, so that one slow turn is not fatal.
    microseconds period = kStatusPeriod;
    if (state.watchdog) {
        period = std::min(period, microseconds(std::max<std::uint64_t>(watchdogUsec / 3, 1000)));
    }
    state.timer.Reset(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(period);
    auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(period - seconds);
    // The first tick comes at once: it is the loop's first turn.
    itimerspec every{{seconds.count(), nanoseconds.count()}, {0, 1}};
    if (!state.timer.Valid() || ::timerfd_settime(state.timer.Get(), 0, &every, nullptr) != 0) {
        error = std::string("the service manager is not told of this program: timerfd: ") +
                platform::ErrorText();
        state.timer.Reset();
        return false;
    }
    state.source.Add(state.timer.Get(), POLLIN, [](int, short) { Tick(); });
    return true;
}

void StopServiceNotifications() {
    State().source.Remove();
    State().timer.Reset();
}

void NotifyReloading() {
    if (State().timer.Valid()) {
        auto now = std::chrono::duration_cast<microseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        Notify("RELOADING=1\nMONOTONIC_USEC=" + std::to_string(now.count()));
    }
}

void NotifyReloaded() {
    if (State().timer.Valid()) {
        Notify("READY=1");
    }
}

void NotifyStopping() {
    if (State().timer.Valid()) {
        Notify("STOPPING=1");
    }
}

} // namespace host
