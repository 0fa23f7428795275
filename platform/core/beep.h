// What MessageBeep does besides logging: a front end may play the sound its own
// way; without one the terminal bell rings when standard error is a terminal.
#pragma once

#include <functional>

#include "platform/core/types.h"

namespace platform {

void SetBeepHandler(std::function<void(UINT type)> handler);

} // namespace platform
