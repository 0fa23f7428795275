// The whole RFID path on the in-memory serial device: replies arriving in timed
// chunks with line errors, the reader's poll ticks with their request frames, the
// reading and parsing of replies, and the typing of tag texts.
//
// Input: a settings byte (fuzz/support/composition.h), then what arrives at the
// device (fuzz/support/device_script.h).
//
// At every tick: one request frame goes out; the bytes waiting are read whole
// (at most 1024) when there are 4 or more, else dropped; and the tick types, as
// whole strokes, the tag text the reply reference gives for the bytes read, framed
// by the prefix, suffix, TAB and ENTER, or nothing. So only hexadecimal digits and
// spaces are ever typed from a tag.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bio/bio.h"
#include "fuzz/support/check.h"
#include "fuzz/support/composition.h"
#include "fuzz/support/device_script.h"
#include "fuzz/support/reader_window.h"
#include "fuzz/support/strokes.h"
#include "fuzz/support/tag_reference.h"
#include "platform/core/clock.h"
#include "platform/core/recorder.h"
#include "platform/serial/device/memory_serial_device.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/messages.h"
#include "reader/rfid_reader.h"

using fuzz::Check;

namespace {

constexpr int kNoRead = INT_MIN;
constexpr std::string_view kRequest = "\xBA\x02\x01\xB9";

struct Run {
    fuzz::OutputChoice choice;
    std::shared_ptr<platform::MemorySerialDevice> device;
    fuzz::DeviceScript script; // queued at time 0
    std::size_t requests = 0;  // request frames that went out
};
Run current;

std::size_t Waiting() {
    return static_cast<std::size_t>(std::max(bio_get_inputcount(ReaderPort), 0));
}

// One poll tick of the reader, with what it did checked against the references.
void CheckedTick(HWND window, UINT message, UINT_PTR timerId, DWORD time) {
    const platform::Recording& recorded = platform::Recorded();
    std::size_t keysBefore = recorded.keys.size();
    // What waits is always the latest of what arrived: reads and drops take from
    // the front, and so does an overflow (which drops all that waits).
    std::size_t waiting = Waiting();
    std::size_t arrived = current.script.ArrivedBy(platform::ClockNow());
    Check(waiting <= arrived, "only bytes that arrived wait");
    std::string_view available = std::string_view(current.script.bytes).substr(arrived - waiting);
    ReadCount = kNoRead;
    OnRFIDTimer(window, message, timerId, time);

    std::string expected;
    std::size_t taken = waiting;
    if (ReadCount != kNoRead) {
        Check(waiting >= 4 && ReadCount == static_cast<int>(std::min<std::size_t>(waiting, 1024)),
              "the bytes waiting are read whole, at most 1024, when there are 4 or more");
        taken = static_cast<std::size_t>(ReadCount);
        fuzz::TagReference reference = fuzz::ReferenceTag(available.substr(0, taken));
        if (reference.outcome == fuzz::TagOutcome::Text) {
            expected = reference.text;
        }
    } else {
        Check(waiting < 4, "fewer than 4 bytes waiting are dropped unread");
    }
    Check(Waiting() == waiting - taken, "a tick takes the bytes it reads or drops, and no others");

    ++current.requests;
    std::string requests;
    for (std::size_t i = 0; i < current.requests; ++i) {
        requests += kRequest;
    }
    Check(current.device->Output() == requests, "every tick sends one request frame");

    std::vector<platform::RecordedKey> keys(recorded.keys.begin() + keysBefore,
                                            recorded.keys.end());
    std::u16string typed = fuzz::TypedCharacters(fuzz::WholeStrokes(keys));
    Check(typed == (expected.empty() ? u"" : fuzz::ExpectedTagOutput(current.choice, expected)),
          "a tick types the tag text of the reply it read, framed, and nothing else");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    HWND window = fuzz::ReaderWindow();
    auto device = fuzz::FreshReaderDevice();
    current = Run{fuzz::ApplyOutputChoice(data[0]), device, {}, 0};

    Check(StartRFIDReader(window) == 1, "the reader starts on the in-memory device");
    SetTimer(window, RFIDTimerId, Settings.RFIDInterval, CheckedTick);
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    current.script = fuzz::QueueScript(*device, input);
    // After the last byte has come, the next tick takes whatever waits.
    platform::RunMessagesFor(current.script.duration +
                             platform::Milliseconds{2 * Settings.RFIDInterval});
    Check(Waiting() == 0, "every byte that arrives is read or dropped");

    StopRFIDReader(window);
    platform::StopRecording();
    platform::DetachMemorySerialDevice(1);
    platform::ResetMessageLoop();
    current.device.reset();
    ReadCount = 0;
    ReaderPort = 0;
    return 0;
}
