// Problems a person has to act on: a reader port that cannot be opened or set up
// or that went away, keys that reach only part of the desktop, settings that
// could not be saved. Each is one sentence with its remedy, said once per cause:
// the same sentence again for the same topic says nothing, a different one is
// said.
//
// With the desktop front end running, a notice is a desktop notification (the
// front end installs a notifier); otherwise it goes to standard error, which the
// systemd unit sends to the journal. Either way the event log records it as a
// "notice" line. Debug lines stay as they are beside it.
#pragma once

#include <functional>
#include <string>

namespace platform {

// Says `sentence` unless it is already the current cause for `topic` (a port's
// path, "keys").
void ReportUserNotice(const std::string& topic, const std::string& sentence);

// The topic's problem is over (the port opened): its next cause is said again.
void ClearUserNotice(const std::string& topic);

// Shows one sentence to the person at the desktop.
using UserNotifier = std::function<void(const std::string& sentence)>;

// Installs the notifier (an empty one removes it). On installation the causes
// that are current are shown through it, since standard error had them before
// the desktop was there to show them.
void SetUserNotifier(UserNotifier notifier);

// Forgets every cause, so that a test can see a notice again.
void ForgetUserNotices();

} // namespace platform
