#include "host/status_answer.h"

#include <unistd.h>

#include "host/status_report.h"
#include "platform/core/read_tally.h"
#include "platform/core/unicode.h"
#include "platform/core/utc_time.h"
#include "platform/keyboard/key_sink.h"
#include "platform/serial/port_presence.h"
#include "platform/serial/serial_port_names.h"

namespace host {
namespace {

// Both readers read the device's first serial port.
constexpr int kReaderPort = 1;

const char* ReaderState(PortPresence presence) {
    switch (presence) {
    case PortPresence::Open:
        return "open";
    case PortPresence::Waiting:
        return "waiting";
    case PortPresence::Off:
        break;
    }
    return "off";
}

} // namespace

std::u16string AnswerStatusRequest() {
    status_report::Status status;
    status.pid = ::getpid();
    status.port = "COM" + std::to_string(kReaderPort) + ":";
    status.device = platform::ResolvePortPath(kReaderPort).value_or("");
    status.reader = ReaderState(ComPortPresence(kReaderPort));
    platform::KeySink* sink = platform::ActiveKeySink();
    status.sink = sink != nullptr ? sink->Name() : "none";
    platform::ReadTally tally = platform::CurrentReadTally();
    status.goodReads = tally.good;
    status.badReads = tally.bad;
    status.lastRead = tally.last ? platform::IsoUtcTime(*tally.last) : "";
    return platform::Utf8ToUtf16(status_report::Encode(status));
}

} // namespace host
