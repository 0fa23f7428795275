#include "platform/core/read_tally.h"

#include <string>

#include "platform/core/event_log.h"

namespace platform {
namespace {

ReadTally& Tally() {
    static ReadTally tally;
    return tally;
}

const char* TrackWord(char verdict) {
    switch (verdict) {
    case '+':
        return "read";
    case 'E':
        return "error";
    default:
        return "absent";
    }
}

// {"1":"read","2":"error","3":"absent"}
std::string TracksObject(LPCSTR verdicts) {
    std::string object = "{";
    for (int track = 0; track < 3 && verdicts[track] != '\0'; ++track) {
        object += std::string(track == 0 ? "" : ",") + "\"" + std::to_string(track + 1) + "\":\"" +
                  TrackWord(verdicts[track]) + "\"";
    }
    return object + "}";
}

} // namespace

ReadTally CurrentReadTally() {
    return Tally();
}

} // namespace platform

void TallyRead(LPCSTR reader, BOOL good, LPCSTR trackVerdicts) {
    platform::ReadTally& tally = platform::Tally();
    ++(good != FALSE ? tally.good : tally.bad);
    tally.last = std::chrono::system_clock::now();
    std::string fields =
        "\"reader\":\"" + std::string(reader) + "\",\"good\":" + (good != FALSE ? "true" : "false");
    if (trackVerdicts != nullptr) {
        fields += ",\"tracks\":" + platform::TracksObject(trackVerdicts);
    }
    platform::WriteEvent("read", fields);
}
