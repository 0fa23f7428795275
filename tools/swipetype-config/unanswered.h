// Why a call to the Swipetype running on the device root got no answer, for
// every verb: a program that runs there but cannot be asked is named and the
// command fails, so that its hive is never written under it.
#pragma once

#include <string>

namespace config_tool {

// One line after a call that got no answer; empty when no program runs on the
// device root.
std::string WhyUnanswered();

} // namespace config_tool
