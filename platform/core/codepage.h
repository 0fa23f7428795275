// The ANSI code page that CP_ACP stands for. The device used Windows-1252; the
// host may choose UTF-8 at start-up for terminals whose card data is UTF-8.
#pragma once

#include "platform/core/types.h"

namespace platform {

// Accepts 1252 or CP_UTF8 (65001); returns false for any other code page.
bool SetAnsiCodePage(UINT codePage);
UINT AnsiCodePage();

} // namespace platform
