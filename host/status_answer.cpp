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

} // namespace

std::u16string AnswerStatusRequest() {
    status_report::Status status;
    status.pid = ::getpid();
    status.port = "COM" + std::to_string(kReaderPortNumber) + ":";
    status.device = platform::ResolvePortPath(kReaderPortNumber).value_or("");
    status.reader = ReaderState(platform::ComPortPresence(kReaderPortNumber));
    platform::KeySink* sink = platform::ActiveKeySink();
    status.sink = sink != nullptr ? sink->Name() : "none";
    platform::ReadTally tally = platform::CurrentReadTally();
    status.goodReads = tally.good;
    status.badReads = tally.bad;
    status.lastRead = tally.last ? platform::IsoUtcTime(*tally.last) : "";
    return platform::Utf8ToUtf16(status_report::Encode(status));
}

} // namespace host
