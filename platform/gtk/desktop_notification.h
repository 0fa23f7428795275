// Notices (platform/core/user_notice.h) as desktop notifications: the freedesktop notification
// service on the session bus, called through GIO without waiting for its answer,
// so that a slow or missing service never holds the program's one thread. Where
// no session bus is named, or the service does not take the notification, the
// sentence goes to standard error as it would without the front end.
#pragma once

#include <string>

namespace platform::gtk_front_end {

void ShowDesktopNotification(const std::string& sentence);

} // namespace platform::gtk_front_end
