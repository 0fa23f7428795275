// The modem command layer's reading of replies, on the in-memory serial device:
// bio_wait_response with a reply list from the input, bio_wait_connect with the
// call results, and bio_read_digits into a buffer of exactly the given size.
//
// Input: an operation byte (0 reply list, 1 call result, 2 digits, modulo 3), a
// parameter byte (the reply wait's time limit in timer units; the digit buffer's
// size modulo 16), for the reply list the replies separated by line feeds and
// ended by a zero byte, then what arrives at the device
// (fuzz/support/device_script.h). Each wait step moves the clock 1 ms on.
//
// The properties hold whatever the timing: they compare the results with the
// bytes the call took from the device ("consumed"; the bytes left after it are
// read out when it has returned).
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bio/bio.h"
#include "fuzz/support/check.h"
#include "fuzz/support/device_script.h"
#include "platform/core/clock.h"
#include "platform/serial/device/memory_serial_device.h"
#include "platform/windowing/message_loop.h"

using fuzz::Check;

namespace {

constexpr int kCallTime = 250; // timer units; the profile's 30 s would only slow the fuzzing

int StepTheClock(int) {
    platform::AdvanceManualClock(platform::Milliseconds{1});
    return 0;
}

// The first place where the stream's tail equals a reply, trying the replies in
// list order after each byte: the reply's index and the bytes up to it.
struct Match {
    int index = -1;
    std::size_t length = 0;
};
Match FirstMatch(std::string_view stream, const std::vector<std::string>& replies) {
    for (std::size_t length = 1; length <= stream.size(); ++length) {
        std::string_view prefix = stream.substr(0, length);
        for (std::size_t k = 0; k < replies.size(); ++k) {
            if (prefix.ends_with(replies[k])) {
                return {static_cast<int>(k), length};
            }
        }
    }
    return {};
}

std::string FirstDigitRun(std::string_view stream) {
    std::size_t start = stream.find_first_of("0123456789");
    if (start == std::string_view::npos) {
        return {};
    }
    std::size_t end = stream.find_first_not_of("0123456789", start);
    return std::string(stream.substr(start, end == std::string_view::npos ? end : end - start));
}

// The call replies, longest first, as the connect wait tells "NO CARRIER" from
// "CARRIER".
const std::vector<std::string> kCallReplies = {"NO DIALTONE", "NO CARRIER", "CARRIER", "CONNECT",
                                               "BUSY"};
enum CallReply { NoDialtone, NoCarrier, Carrier, Connect, Busy };

// True when `speed` is the port's rate or the value of digits that came in (a
// value past INT_MAX is held there).
bool SpeedCameIn(int speed, const std::string& consumed) {
    if (speed == 19200) {
        return true;
    }
    if (speed == INT_MAX) {
        for (std::size_t at = 0; at < consumed.size(); ++at) {
            if (FirstDigitRun(consumed.substr(at)).size() >= 10) {
                return true;
            }
        }
        return false;
    }
    return speed >= 0 && consumed.find(std::to_string(speed)) != std::string::npos;
}

int Finish() {
    platform::DetachMemorySerialDevice(1);
    platform::ResetMessageLoop();
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);
    int operation = data[0] % 3;
    std::vector<std::string> replies;
    if (operation == 0) {
        std::size_t end = input.find('\0');
        std::string_view list = input.substr(0, end);
        input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
        for (std::size_t start = 0; start <= list.size() && replies.size() < 8;) {
            std::size_t stop = list.find('\n', start);
            stop = stop == std::string_view::npos ? list.size() : stop;
            replies.emplace_back(list.substr(start, stop - start));
            start = stop + 1;
        }
    }

    platform::ResetMessageLoop();
    platform::UseManualClock(platform::Milliseconds{0});
    auto device = std::make_shared<platform::MemorySerialDevice>();
    platform::AttachMemorySerialDevice(1, device);
    int portId = bio_open_port(1, 1024, 1024);
    Check(portId >= 0 && bio_setup_port(portId, 19200, 0, 3, 0, 4, 0) == 0 &&
              bio_set_waithook(portId, StepTheClock) == 0 &&
              bio_set_modemvalue(portId, MODEM_VALUE_CALL_TIME, kCallTime) == 0,
          "the port opens on the in-memory device");
    fuzz::DeviceScript script = fuzz::QueueScript(*device, input);

    int result = 0;
    std::vector<char> digits; // exactly the size asked for
    if (operation == 0) {
        std::vector<const char*> list;
        for (const std::string& reply : replies) {
            list.push_back(reply.c_str());
        }
        list.push_back(nullptr);
        result = bio_wait_response(portId, data[1], "", list.data());
    } else if (operation == 1) {
        result = bio_wait_connect(portId);
    } else {
        digits.resize(data[1] % 16);
        // A heap block of exactly that size, so that AddressSanitizer sees a byte past it.
        char* buffer = static_cast<char*>(std::malloc(digits.size()));
        result = bio_read_digits(portId, static_cast<int>(digits.size()), buffer);
        std::copy(buffer, buffer + digits.size(), digits.begin());
        std::free(buffer);
    }
    int carrierSpeed = bio_get_carrierspeed(portId);
    int connectSpeed = bio_get_connectspeed(portId);
    // What the call took: the stream less what still arrives after it.
    platform::AdvanceManualClock(script.duration + platform::Milliseconds{1});
    // Read out rather than counted: the count right after a read may leave out what
    // the device still holds, and a read that meets a line error fails once.
    std::size_t left = 0;
    char rest[256];
    for (int got, failures = 0; (got = bio_read_bytes(portId, sizeof rest, rest)) != 0;) {
        if (got < 0 && ++failures > 8) {
            break;
        }
        left += static_cast<std::size_t>(std::max(got, 0));
    }
    std::string consumed = script.bytes.substr(0, script.bytes.size() - left);
    bio_close_port(portId);
    // An overflow drops what waits, so the call saw the stream with gaps.
    bool overflowed = script.Overflowed();

    if (operation == 0) {
        // Replies are compared as C strings: each ends at its first zero byte.
        for (std::string& reply : replies) {
            reply.resize(std::string(reply.c_str()).size());
        }
        bool anyNonEmpty = false;
        for (const std::string& reply : replies) {
            anyNonEmpty = anyNonEmpty || !reply.empty();
        }
        Match match = FirstMatch(consumed, replies);
        if (!anyNonEmpty) {
            Check(result == -BIO_BAD_ARGUMENT && (consumed.empty() || overflowed),
                  "a list without a reply is refused at once");
        } else if (result >= 0) {
            Check(result < static_cast<int>(replies.size()) &&
                      (overflowed || (match.index == result && match.length == consumed.size())),
                  "the reply found is the first in list order at the first place one matched");
        } else {
            Check(result == -BIO_WAIT_ENDED && (overflowed || match.index < 0),
                  "a reply wait ends without a reply only when none came in time");
        }
    } else if (operation == 1) {
        Check(result == 0 || result == BIO_NO_CALL_RESULT || result == BIO_LINE_BUSY ||
                  result == BIO_NO_DIALTONE || result == BIO_NO_CARRIER,
              "the call result is one of its codes");
        if (overflowed) {
            return Finish();
        }
        Check(SpeedCameIn(carrierSpeed, consumed) && SpeedCameIn(connectSpeed, consumed),
              "the speeds are the port's rate or digits that came in");
        int first = FirstMatch(consumed, kCallReplies).index;
        bool connected = first == Carrier || first == Connect;
        Check(result != BIO_NO_CALL_RESULT || first < 0, "no call result means none came in time");
        Check(result != BIO_LINE_BUSY || first == Busy, "BIO_LINE_BUSY answers BUSY");
        Check(result != BIO_NO_DIALTONE || first == NoDialtone,
              "BIO_NO_DIALTONE answers NO DIALTONE");
        Check(result != BIO_NO_CARRIER || first == NoCarrier || first == Carrier,
              "BIO_NO_CARRIER answers NO CARRIER, also right after a carrier report");
        Check(result != 0 || connected, "0 answers CARRIER or CONNECT");
        // The line ends at CR, LF or the pair CR LF; a byte after a lone CR is the far end's.
        std::size_t lineEnd = consumed.find_first_of(
            "\r\n", static_cast<std::size_t>(FirstMatch(consumed, kCallReplies).length));
        bool pairEnds = lineEnd != std::string::npos && consumed[lineEnd] == '\r' &&
                        script.bytes.compare(lineEnd + 1, 1, "\n") == 0;
        Check(first != Connect || lineEnd == std::string::npos || lineEnd + 1 == consumed.size() ||
                  (pairEnds && lineEnd + 2 == consumed.size()),
              "after CONNECT nothing past the end of its line is read");
    } else {
        std::string run = FirstDigitRun(consumed);
        if (result == 0) {
            if (!digits.empty()) {
                std::string stored(digits.data(), digits.size());
                std::size_t end = stored.find('\0');
                Check(end != std::string::npos, "the digits are zero-terminated in the buffer");
                stored.resize(end);
                Check(stored.find_first_not_of("0123456789") == std::string::npos &&
                          (overflowed || stored == run.substr(0, digits.size() - 1)),
                      "the digits are the first run that came in, cut to the buffer", stored);
            }
        } else {
            Check(result == -BIO_NO_DIGITS && (overflowed || run.empty()),
                  "reading digits fails only when none came in time");
        }
    }
    return Finish();
}
