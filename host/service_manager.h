// The program under systemd (a Type=notify unit, packaging/swipetype.service.in):
// when NOTIFY_SOCKET names the service manager, it is told READY=1 from the
// message loop once the reader is open or waited for (at the latest some
// seconds after the start, the status line saying why not); STATUS= with the
// reader, the key sink and the reads whenever that line changes; and
// WATCHDOG=1 from the message loop when WATCHDOG_USEC asks for it, so that a
// loop that stops turning is ended and started again. All of it from one timer
// descriptor in the loop's wait; nothing at all without NOTIFY_SOCKET.
#pragma once

#include <string>

#include "host/status_report.h"

namespace host {

// Starts the timer when a service manager listens; false with `error` set
// when it cannot be made.
bool StartServiceNotifications(std::string& error);
void StopServiceNotifications();

// Around a reload (ExecReload=, SIGUSR1): RELOADING=1 before, READY=1 after.
void NotifyReloading();
void NotifyReloaded();

// STOPPING=1, as the program ends.
void NotifyStopping();

// The STATUS= line: "reader open on /dev/ttyUSB0; keys: xtest, typing; reads:
// 3 good, 0 bad, 0 dropped".
std::string ServiceStatusLine(const status_report::Status& status);

} // namespace host
