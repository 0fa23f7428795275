// The little a resource compiler needs to know of a PNG picture: that it is
// one, and its size and bits per pixel for the icon directory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rc {

struct PngInfo {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t bitsPerPixel = 0;
};

// Reads the signature and the IHDR chunk. False with `error` for anything else.
bool ReadPngInfo(const std::vector<std::uint8_t>& bytes, PngInfo& info, std::string& error);

} // namespace rc
