#include "platform/core/utc_time.h"

#include <cstdio>
#include <ctime>

namespace platform {

std::string IsoUtcTime(std::chrono::system_clock::time_point when) {
    auto seconds = std::chrono::floor<std::chrono::seconds>(when);
    auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(when - seconds).count();
    std::time_t whole = std::chrono::system_clock::to_time_t(seconds);
    std::tm parts{};
    gmtime_r(&whole, &parts);
    char text[64]; // room for any year the formats can give
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<int>(milliseconds));
    return text;
}

} // namespace platform
