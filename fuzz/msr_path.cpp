// The whole magnetic stripe path on the in-memory serial device: swipes arriving
// in timed chunks with line errors, the reader's poll ticks, its line reads, the
// decoding and the typing.
//
// Input: a settings byte (fuzz/support/composition.h), then what arrives at the
// device (fuzz/support/device_script.h).
//
// At every tick: a line read holds at most 1023 bytes and no line terminator, and
// the tick types, as whole strokes, the composition of the line's tracks by the
// strtok reference when they make a good read, and nothing otherwise; a tick that
// reads no line beeps only for a line it dropped (too long, or cut off by the
// silence before its end), which is one bad read. In the end, six terminators
// make the reader take what it still holds or leaves waiting: every byte that
// arrived, less the terminators, was read in a line, in order; nothing was lost
// (unless the receive queue overflowed, when the port drops what waits, or a line
// was dropped) or made up.
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "bio/bio.h"
#include "fuzz/support/check.h"
#include "fuzz/support/composition.h"
#include "fuzz/support/device_script.h"
#include "fuzz/support/reader_window.h"
#include "fuzz/support/strokes.h"
#include "platform/core/clock.h"
#include "platform/core/read_tally.h"
#include "platform/core/recorder.h"
#include "platform/serial/device/memory_serial_device.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/messages.h"
#include "reader/msr_reader.h"
#include "reader/track_decode.h"
#include "support/track_reference.h"

using fuzz::Check;

namespace {

constexpr int kNoRead = INT_MIN;
constexpr UINT kBadReadBeep = 4;
constexpr UINT kGoodReadBeep = 0x40;

struct Run {
    fuzz::OutputChoice choice;
    std::string linesRead; // every line read, in order
    bool dropped;          // a line was dropped unread: too long, or cut off by the silence
};
Run current;

std::string WithoutTerminators(std::string_view bytes) {
    std::string kept;
    for (char c : bytes) {
        if (c != '\r' && c != '\n' && c != '\0') {
            kept += c;
        }
    }
    return kept;
}

bool IsSubsequence(std::string_view part, std::string_view whole) {
    std::size_t at = 0;
    for (char c : whole) {
        if (at < part.size() && part[at] == c) {
            ++at;
        }
    }
    return at == part.size();
}

// One poll tick of the reader, with what it did checked against the references.
void CheckedTick(HWND window, UINT message, UINT_PTR timerId, DWORD time) {
    const platform::Recording& recorded = platform::Recorded();
    std::size_t keysBefore = recorded.keys.size();
    std::size_t beepsBefore = recorded.beeps.size();
    std::uint64_t badBefore = platform::CurrentReadTally().bad;
    ReadCount = kNoRead;
    OnMSRTimer(window, message, timerId, time);
    std::u16string expected;
    std::vector<UINT> expectedBeeps;
    if (ReadCount != kNoRead && ReadCount > 0) {
        std::string line(RawLine);
        Check(line.size() == static_cast<std::size_t>(ReadCount) && line.size() < kLineBufferSize &&
                  line.find_first_of("\r\n") == std::string::npos,
              "a line read is as long as its count and holds no terminator", line);
        current.linesRead += line;
        test_support::ReferenceTracks tracks = test_support::ReferenceDecode(line);
        const bool* use = current.choice.track;
        bool good = test_support::ReferenceVerdict(line, tracks, use[0], use[1], use[2]) == 1;
        if (good) {
            std::string texts[3] = {tracks.track[0].text, tracks.track[1].text,
                                    tracks.track[2].text};
            expected = fuzz::ExpectedCardOutput(current.choice, texts);
        }
        if (current.choice.beep) {
            expectedBeeps.push_back(good ? kGoodReadBeep : kBadReadBeep);
        }
    } else if (platform::CurrentReadTally().bad > badBefore) {
        // A line dropped unread (too long, or cut off by the silence before its
        // end) is one bad read.
        Check(platform::CurrentReadTally().bad == badBefore + 1,
              "a tick that reads no line drops at most one");
        current.dropped = true;
        if (current.choice.beep) {
            expectedBeeps.push_back(kBadReadBeep);
        }
    }
    std::vector<platform::RecordedKey> keys(recorded.keys.begin() + keysBefore,
                                            recorded.keys.end());
    std::u16string typed = fuzz::TypedCharacters(fuzz::WholeStrokes(keys));
    Check(typed == expected, "a tick types the composition of a good read and nothing else",
          [] { return std::string(RawLine); });
    Check(std::vector<UINT>(recorded.beeps.begin() + beepsBefore, recorded.beeps.end()) ==
              expectedBeeps,
          "with Beep set a read beeps once: 0x40 when good, 4 when bad");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    HWND window = fuzz::ReaderWindow();
    auto device = fuzz::FreshReaderDevice();
    current = Run{fuzz::ApplyOutputChoice(data[0]), {}, false};

    Check(StartMSRReader(window) == 1, "the reader starts on the in-memory device");
    SetTimer(window, MSRTimerId, Settings.MSRInterval, CheckedTick);
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    fuzz::DeviceScript script = fuzz::QueueScript(*device, input);
    // One line per tick: after the last byte has come, at most one tick per byte,
    // and a line without its terminator is taken after half a second of silence.
    auto end =
        script.duration + platform::Milliseconds{500} +
        platform::Milliseconds{Settings.MSRInterval} * static_cast<long>(script.bytes.size() + 3);
    // Bytes held for a line are taken once it ends, so the ticks go on while enough are held.
    while (platform::ClockNow() < end &&
           (platform::ClockNow() <= script.duration || bio_get_inputcount(ReaderPort) >= 6 ||
            PendingLineBytes() >= 6)) {
        platform::RunMessagesFor(platform::Milliseconds{Settings.MSRInterval});
    }
    // Fewer than 6 bytes are no line of their own: six terminators end them as one,
    // after the script, so that no overflow of it can drop them.
    device->QueueInput("\r\r\r\r\r\r");
    for (int tick = 0; tick < 12 && (bio_get_inputcount(ReaderPort) > 0 || PendingLineBytes() > 0);
         ++tick) {
        platform::RunMessagesFor(platform::Milliseconds{Settings.MSRInterval});
    }
    Check(bio_get_inputcount(ReaderPort) == 0 && PendingLineBytes() == 0,
          "the reader reads whatever waits in the end, and takes every line it holds");
    StopMSRReader(window);
    std::string sent = WithoutTerminators(script.bytes);
    if (script.Overflowed() || current.dropped) {
        Check(IsSubsequence(current.linesRead, sent),
              "after an overflow or a dropped line what was read is what arrived, less what "
              "the overflow or the dropped line took");
    } else {
        Check(current.linesRead == sent, "every byte that arrived was read in a line");
    }

    platform::StopRecording();
    platform::DetachMemorySerialDevice(1);
    platform::ResetMessageLoop();
    ReadCount = 0;
    ReaderPort = 0;
    return 0;
}
