#include "reader/track_decode.h"

#include <cstring>

#include "platform/core/system.h"
#include "settings/settings.h"

char RawLine[kLineBufferSize];
char TrackBuffers[3][kLineBufferSize];

namespace {

// Extraction cuts the copy apart, so every track starts from a fresh copy.
char WorkingCopy[kLineBufferSize];

constexpr char kStartSentinels[3] = {'%', ';', '+'};
constexpr char kEndSentinel = '?';
constexpr UINT kBadReadSound = 4;

// Extracts the track opened by `sentinel` from a fresh copy of RawLine into
// `track`; returns whether the line offers the track. This is what tokenising
// the copy with strtok gives, written out so that it keeps no hidden state.
bool ExtractTrack(char sentinel, char* track) {
    std::memcpy(WorkingCopy, RawLine, sizeof WorkingCopy);
    WorkingCopy[kLineBufferSize - 1] = '\0';
    const char* line = WorkingCopy;
    const char* text;
    if (line[0] == sentinel) {
        // Case A: the line opens with this track; its text may be empty.
        text = line + 1;
    } else {
        // Case B: the first sentinel anywhere opens it; a run of end sentinels
        // right after it is skipped, and nothing left means no track.
        const char* start = std::strchr(line, sentinel);
        if (start == nullptr) {
            track[0] = '\0';
            return false;
        }
        text = start + 1;
        while (*text == kEndSentinel) {
            ++text;
        }
        if (*text == '\0') {
            track[0] = '\0';
            return false;
        }
    }
    std::size_t length = std::strcspn(text, "?");
    std::memcpy(track, text, length);
    track[length] = '\0';
    return true;
}

bool TrackIsGood(bool found, const char* text) {
    return found && std::strcmp(text, "E") != 0;
}

// Whether a track's bytes are text in the code page. A byte the code page does
// not define (a UTF-8 sequence that is no character, or one of the bytes 1252
// leaves out, which come back as C1 controls) is line noise: the read is bad,
// never typed with a replacement character in its place.
bool TrackIsText(const char* text) {
    if (text[0] == '\0') {
        return true;
    }
    static WCHAR wide[kLineBufferSize];
    int count = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, wide, kLineBufferSize);
    if (count == 0) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        if (wide[i] >= 0x80 && wide[i] <= 0x9F) {
            return false;
        }
    }
    return true;
}

// Whether every track that is typed is text.
bool TypedTracksAreText() {
    const DWORD used[3] = {Settings.UseTrack1, Settings.UseTrack2, Settings.UseTrack3};
    for (int i = 0; i < 3; ++i) {
        if (used[i] != 0 && !TrackIsText(TrackBuffers[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

int DecodeTracks() {
    // An empty line is a bad read without a beep.
    if (RawLine[0] == '\0') {
        return 0;
    }
    // Each track from the whole line, in turn.
    bool found[3];
    for (int i = 0; i < 3; ++i) {
        found[i] = ExtractTrack(kStartSentinels[i], TrackBuffers[i]);
    }
    // Tracks 1 and 2 count when selected; track 3 never does.
    bool good = true;
    if (Settings.UseTrack1 != 0 && !TrackIsGood(found[0], TrackBuffers[0])) {
        good = false;
    }
    if (Settings.UseTrack2 != 0 && !TrackIsGood(found[1], TrackBuffers[1])) {
        good = false;
    }
    if (good && !TypedTracksAreText()) {
        good = false;
    }
    if (!good) {
        ReportBadRead();
        return 0;
    }
    return 1;
}

const char* TrackVerdicts() {
    static char verdicts[4];
    for (int i = 0; i < 3; ++i) {
        const char* track = TrackBuffers[i];
        verdicts[i] = track[0] == '\0' ? '-' : std::strcmp(track, "E") == 0 ? 'E' : '+';
    }
    verdicts[3] = '\0';
    return verdicts;
}

void ReportBadRead() {
    if (Settings.Beep != 0) {
        MessageBeep(kBadReadSound);
    }
}

void ClearMSRBuffers() {
    std::memset(RawLine, 0, sizeof RawLine);
    std::memset(TrackBuffers, 0, sizeof TrackBuffers);
}
