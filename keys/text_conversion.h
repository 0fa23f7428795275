// Conversion between narrow text in the ANSI code page and wide text, each into a
// newly allocated buffer that the caller owns and releases with free().
#pragma once

#include "platform/core/types.h"

// Returns the wide form of a zero-terminated narrow text, or null when the text
// is null or the buffer cannot be allocated.
WCHAR* NarrowToWide(const char* text);

// Returns the narrow form of a zero-terminated wide text, or null when the text
// is null or the buffer cannot be allocated. The buffer holds what the code page
// needs, so no character is cut off (one byte per character in Windows-1252).
char* WideToNarrow(const WCHAR* text);
