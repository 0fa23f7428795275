// Wall-clock times as people and log tools read them: ISO 8601 in UTC, to the
// millisecond ("2025-03-01T14:02:09.125Z").
#pragma once

#include <chrono>
#include <string>

namespace platform {

std::string IsoUtcTime(std::chrono::system_clock::time_point when);

} // namespace platform
