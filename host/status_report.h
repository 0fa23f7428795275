// What a running program tells `swipetype-config status` of itself, and the
// text that carries it from one to the other: the items in the order of the
// record, each ended by a zero byte (no item can hold one).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace status_report {

struct Status {
    long pid = 0;
    std::string port;   // the reader's port, "COM1:"
    std::string device; // the host device standing for it; empty when none is named
    // "open"; "silent" (open, but the reader gives no answer to its polls);
    // "waiting" (for its device to be there) or "off"
    std::string reader;
    std::string sink;      // where typed keys go
    std::string keys;      // "typing", "lost" (the sink's display or device is gone) or "none"
    std::string lostSince; // ISO 8601 UTC while "lost"
    std::uint64_t goodReads = 0; // typed
    std::uint64_t badReads = 0;
    std::uint64_t droppedReads = 0; // good, but no key went out
    std::string lastRead;           // ISO 8601 UTC, of either verdict; empty before the first
    std::string readerAnswering;    // ISO 8601 UTC of the reader's last reply; empty when
                                    // it never answered or answers no requests
    std::string version;
    std::string started; // ISO 8601 UTC
};

// Whether reads become keys: the reader is open and answers, and the sink types.
bool Typing(const Status& status);

std::string Encode(const Status& status);

// Nothing for a text that is not such a record.
std::optional<Status> Decode(std::string_view text);

} // namespace status_report
