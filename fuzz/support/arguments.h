// Fuzz input as a command line: the arguments are the pieces between zero bytes,
// as a program's argv holds them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

inline std::vector<std::string> SplitAtZeros(std::string_view bytes) {
    std::vector<std::string> pieces;
    if (bytes.empty()) {
        return pieces;
    }
    std::size_t start = 0;
    for (;;) {
        std::size_t end = bytes.find('\0', start);
        pieces.emplace_back(bytes.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            return pieces;
        }
        start = end + 1;
    }
}

inline std::vector<std::string> Arguments(const std::uint8_t* data, std::size_t size) {
    return SplitAtZeros(std::string_view(reinterpret_cast<const char*>(data), size));
}

} // namespace fuzz
