// Magnetic stripe track decoding against the strtok reference, and what a good
// read types against the output composition rules.
//
// Input: a settings byte (fuzz/support/composition.h), then the line as the
// reader's read step leaves it in RawLine: at most 1023 bytes, ending at the
// first zero byte.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/support/check.h"
#include "fuzz/support/composition.h"
#include "fuzz/support/strokes.h"
#include "keys/scan_output.h"
#include "platform/core/recorder.h"
#include "reader/track_decode.h"
#include "settings/settings.h"
#include "support/track_reference.h"

using fuzz::Check;

namespace {

constexpr UINT kBadReadBeep = 4;
constexpr UINT kGoodReadBeep = 0x40;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    fuzz::OutputChoice choice = fuzz::ApplyOutputChoice(data[0]);
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    ClearMSRBuffers();
    input.copy(RawLine, kLineBufferSize - 1);
    std::string line(RawLine); // what the decoder sees: up to the first zero byte

    platform::StartRecording();
    int verdict = DecodeTracks();
    test_support::ReferenceTracks reference = test_support::ReferenceDecode(line);
    int expected = test_support::ReferenceVerdict(line, reference, choice.track[0], choice.track[1],
                                                  choice.track[2]);
    Check(verdict == expected, "the verdict is the reference's", line);
    std::string tracks[3];
    for (int t = 0; t < 3; ++t) {
        tracks[t] = TrackBuffers[t];
        if (!line.empty()) {
            Check(tracks[t] == reference.track[t].text, "each track is what strtok gives", line);
        }
    }
    const std::vector<UINT>& beeps = platform::Recorded().beeps;
    bool beeped = !beeps.empty();
    Check(beeped == (verdict == 0 && choice.beep && !line.empty()) &&
              (!beeped || (beeps.size() == 1 && beeps[0] == kBadReadBeep)),
          "a bad read of a line beeps once, with sound 4, when Beep is set", line);

    if (verdict == 1) {
        SendScanOutput(nullptr, 1);
        std::u16string typed = fuzz::TypedCharacters(fuzz::WholeStrokes(platform::Recorded().keys));
        Check(typed == fuzz::ExpectedCardOutput(choice, tracks),
              "a good read types the composition of its tracks", line);
        Check(beeps.size() == (choice.beep ? 1u : 0u) &&
                  (beeps.empty() || beeps[0] == kGoodReadBeep),
              "a good read beeps once, with sound 0x40, when Beep is set", line);
    }
    platform::StopRecording();
    return 0;
}
