#include "png_info.h"

#include <algorithm>
#include <iterator>

namespace rc {
namespace {

std::uint32_t BigEndian32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | std::uint32_t{bytes[at + 3]};
}

// Bits per pixel from the colour type and the bit depth of each sample.
int BitsPerPixel(int colorType, int bitDepth) {
    switch (colorType) {
    case 0:
        return bitDepth; // grey
    case 2:
        return 3 * bitDepth; // RGB
    case 3:
        return bitDepth; // palette index
    case 4:
        return 2 * bitDepth; // grey and alpha
    case 6:
        return 4 * bitDepth; // RGBA
    default:
        return 0;
    }
}

} // namespace

bool ReadPngInfo(const std::vector<std::uint8_t>& bytes, PngInfo& info, std::string& error) {
    static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    // Signature, then the IHDR chunk: length, type, width, height, depth, colour.
    if (bytes.size() < 8 + 8 + 13 ||
        !std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin())) {
        error = "not a PNG file";
        return false;
    }
    if (BigEndian32(bytes, 8) != 13 || bytes[12] != 'I' || bytes[13] != 'H' || bytes[14] != 'D' ||
        bytes[15] != 'R') {
        error = "PNG file without its IHDR chunk first";
        return false;
    }
    info.width = BigEndian32(bytes, 16);
    info.height = BigEndian32(bytes, 20);
    int bits = BitsPerPixel(bytes[25], bytes[24]);
    if (info.width == 0 || info.height == 0 || info.width > 256 || info.height > 256 || bits == 0) {
        error = "PNG picture unfit for an icon (size 1 to 256, known colour type)";
        return false;
    }
    info.bitsPerPixel = static_cast<std::uint16_t>(bits);
    return true;
}

} // namespace rc
