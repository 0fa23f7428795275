#include "host/status_answer.h"

#include <unistd.h>

#include "host/reader_port_wait.h"
#include "host/status_report.h"
#include "platform/core/read_tally.h"
#include "platform/core/unicode.h"
#include "platform/core/utc_time.h"
#include "platform/keyboard/key_sink.h"
#include "platform/serial/port_presence.h"
#include "platform/serial/serial_port_names.h"
#include "reader/rfid_reader.h"

namespace host {
namespace {

const char* ReaderState(platform::PortPresence presence) {
    switch (presence) {
    case platform::PortPresence::Open:
        return "open";
    case platform::PortPresence::Waiting:
        return "waiting";
    case platform::PortPresence::Off:
        break;
    }
    return "off";
}

struct Identity {
    std::string version;
    std::string started;
};

Identity& ProgramIdentity() {
    static Identity identity;
    return identity;
}

// What becomes of the keys: typed, or not while the sink's display or device
// is gone, or never (no sink).
void KeysState(platform::KeySink* sink, status_report::Status& status) {
    status.sink = sink != nullptr ? sink->Name() : "none";
    if (status.sink == "none") {
        status.keys = "none";
        return;
    }
    auto lost = sink->LostSince();
    status.keys = lost ? "lost" : "typing";
    status.lostSince = lost ? platform::IsoUtcTime(*lost) : "";
}

} // namespace

void SetStatusIdentity(std::string version) {
    ProgramIdentity() = {std::move(version),
                         platform::IsoUtcTime(std::chrono::system_clock::now())};
}

std::u16string AnswerStatusRequest() {
    return platform::Utf8ToUtf16(status_report::Encode(CurrentStatus()));
}

status_report::Status CurrentStatus() {
    status_report::Status status;
    status.pid = ::getpid();
    status.port = "COM" + std::to_string(kReaderPortNumber) + ":";
    status.device = platform::ResolvePortPath(kReaderPortNumber).value_or("");
    status.reader = ReaderState(platform::ComPortPresence(kReaderPortNumber));
    KeysState(platform::ActiveKeySink(), status);
    platform::ReadTally tally = platform::CurrentReadTally();
    // Only the RFID reader is asked for its reads; it answers each poll.
    if (RFIDActive != 0) {
        status.readerAnswering = tally.answered ? platform::IsoUtcTime(*tally.answered) : "";
        if (status.reader == "open" && tally.silentPolls > kSilentPolls) {
            status.reader = "silent";
        }
    }
    status.goodReads = tally.good;
    status.badReads = tally.bad;
    status.droppedReads = tally.dropped;
    status.lastRead = tally.last ? platform::IsoUtcTime(*tally.last) : "";
    status.version = ProgramIdentity().version;
    status.started = ProgramIdentity().started;
    return status;
}

} // namespace host
