// The running program's answer to `swipetype-config status`: who it is, its
// reader's port and state, its key sink and the reads since it started.
#pragma once

#include <string>

namespace host {

// Used through platform::SetStatusHandler.
std::u16string AnswerStatusRequest();

} // namespace host
