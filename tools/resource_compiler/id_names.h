// The names of resource, control and command ids that a resource script may use
// in place of numbers, read from the header the program's code includes
// (res/resource_ids.h), so that the script and the code cannot disagree.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace rc {

using IdNames = std::map<std::string, std::int64_t, std::less<>>;

// Takes every line "constexpr int NAME = NUMBER;" (a comment may follow) of a
// header; other lines are not ids. False with `error` naming the line when a
// name comes twice.
bool ReadIdNames(const std::string& header, IdNames& names, std::string& error);

} // namespace rc
