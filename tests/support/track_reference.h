// The reference for magnetic stripe track decoding: what tokenising a copy of the
// line with the standard strtok gives, written the way the decoder's rule states
// it. The unit tests and the fuzz target compare the decoder with it.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

namespace test_support {

struct ReferenceTrack {
    std::string text;
    bool found = false;
};

// The track that `sentinel` opens in `line` (at most 1023 bytes are looked at,
// as the decoder's buffer holds; the line ends at its first zero byte).
inline ReferenceTrack ReferenceExtract(std::string_view line, char sentinel) {
    char copy[1024] = {};
    line.copy(copy, sizeof copy - 1);
    if (copy[0] == sentinel) {
        char* token = std::strtok(copy, "?");
        return {token != nullptr ? std::string(token + 1) : std::string(), true};
    }
    const char delimiters[2] = {sentinel, '\0'};
    std::strtok(copy, delimiters);
    char* token = std::strtok(nullptr, "?");
    return {token != nullptr ? std::string(token) : std::string(), token != nullptr};
}

// Tracks 1 to 3 of a line.
struct ReferenceTracks {
    ReferenceTrack track[3];
};

inline ReferenceTracks ReferenceDecode(std::string_view line) {
    return {
        {ReferenceExtract(line, '%'), ReferenceExtract(line, ';'), ReferenceExtract(line, '+')}};
}

// Windows-1252, the default code page, leaves five bytes undefined: a track
// holding one of them is no text.
inline bool ReferenceIsText(const std::string& text) {
    return text.find_first_of("\x81\x8D\x8F\x90\x9D") == std::string::npos;
}

// 1 for a good read: a non-empty line whose selected tracks 1 and 2 were found
// and are not the error mark "E", and whose typed tracks are text in the
// default code page.
inline int ReferenceVerdict(std::string_view line, const ReferenceTracks& tracks, bool useTrack1,
                            bool useTrack2, bool useTrack3 = false) {
    if (line.empty() || line[0] == '\0') {
        return 0;
    }
    auto good = [](const ReferenceTrack& track) { return track.found && track.text != "E"; };
    if ((useTrack1 && !good(tracks.track[0])) || (useTrack2 && !good(tracks.track[1]))) {
        return 0;
    }
    const bool used[3] = {useTrack1, useTrack2, useTrack3};
    for (int t = 0; t < 3; ++t) {
        if (used[t] && !ReferenceIsText(tracks.track[t].text)) {
            return 0;
        }
    }
    return 1;
}

} // namespace test_support
