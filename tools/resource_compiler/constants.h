// The constant names a resource script may use in flag expressions: window,
// dialog, control, menu, menu-bar and accelerator flags, with the values the
// platform itself uses.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace rc {

std::optional<std::uint32_t> ConstantValue(std::string_view name);

} // namespace rc
