#include "platform/core/read_tally.h"

#include <string>

#include "platform/core/event_log.h"

namespace platform {
namespace {

ReadTally& Tally() {
    static ReadTally tally;
    return tally;
}

// A good read tallied whose keys have not gone out yet.
bool& GoodReadUntyped() {
    static bool untyped = false;
    return untyped;
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

void TallyDroppedRead() {
    ReadTally& tally = Tally();
    if (GoodReadUntyped() && tally.good > 0) {
        --tally.good;
    }
    GoodReadUntyped() = false;
    ++tally.dropped;
}

void TallyKeysDiscarded() {
    if (GoodReadUntyped()) {
        TallyDroppedRead();
    }
}

void TallyKeysDelivered() {
    GoodReadUntyped() = false;
}

} // namespace platform

void TallyRead(LPCSTR reader, BOOL good, LPCSTR trackVerdicts) {
    platform::ReadTally& tally = platform::Tally();
    ++(good != FALSE ? tally.good : tally.bad);
    tally.last = std::chrono::system_clock::now();
    platform::GoodReadUntyped() = good != FALSE;
    std::string fields =
        "\"reader\":\"" + std::string(reader) + "\",\"good\":" + (good != FALSE ? "true" : "false");
    if (trackVerdicts != nullptr) {
        fields += ",\"tracks\":" + platform::TracksObject(trackVerdicts);
    }
    platform::WriteEvent("read", fields);
}

void TallyReaderPoll(BOOL answered) {
    platform::ReadTally& tally = platform::Tally();
    if (answered != FALSE) {
        tally.answered = std::chrono::system_clock::now();
        tally.silentPolls = 0;
    } else {
        ++tally.silentPolls;
    }
}
