// The running program's answer to `swipetype-config status`: who it is, its
// reader's port and state, its key sink and the reads since it started.
#pragma once

#include <string>

#include "host/status_report.h"

namespace host {

// The program's status now.
status_report::Status CurrentStatus();

// Used through platform::SetStatusHandler.
std::u16string AnswerStatusRequest();

// The program's version and the time it started, given once at start-up.
void SetStatusIdentity(std::string version);

// A reader that answers requests is taken for silent after this many polls
// without an answer.
constexpr unsigned kSilentPolls = 5;

} // namespace host
