// Keystroke synthesis with escape sequences split across calls, through the text
// key sink.
//
// Input: a mode byte (bit 0 escapes, bit 1 suppress, bit 2 count given, for every
// call), then UTF-16LE units; the unit 0xFFFF ends one call's text and starts the
// next one's.
//
// The events of the calls form whole strokes, and are exactly the events of one
// call with the texts joined: the escape state carries over between calls as it
// does within one. Without escapes the strokes type the texts as they are. The
// text sink writes well-formed UTF-8: the characters of the strokes.
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "fuzz/support/check.h"
#include "fuzz/support/strokes.h"
#include "fuzz/support/utf8.h"
#include "keys/keystrokes.h"
#include "platform/core/recorder.h"
#include "platform/keyboard/key_sink.h"

using fuzz::Check;

namespace {

constexpr char16_t kCallBoundary = 0xFFFF;

// What the text sink wrote, in a memory file that never fills up.
int SinkFile() {
    static int fd = memfd_create("fuzz-key-sink", MFD_CLOEXEC);
    return fd;
}

std::string TakeSinkOutput() {
    std::string bytes(static_cast<std::size_t>(lseek(SinkFile(), 0, SEEK_END)), '\0');
    Check(pread(SinkFile(), bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()),
          "the sink's output reads back");
    Check(ftruncate(SinkFile(), 0) == 0 && lseek(SinkFile(), 0, SEEK_SET) == 0,
          "the sink's file empties");
    return bytes;
}

// Types the texts one call each, from the escape state of a program's start.
std::vector<platform::RecordedKey> Type(const std::vector<std::u16string>& texts,
                                        std::uint8_t mode) {
    EscapeState = {};
    platform::StartRecording();
    for (const std::u16string& text : texts) {
        TypeText(text.c_str(), mode & 1, mode & 2, mode & 4, static_cast<DWORD>(text.size()));
    }
    platform::StopRecording();
    return platform::Recorded().keys;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    std::uint8_t mode = data[0];
    bool counted = (mode & 4) != 0;
    std::vector<std::u16string> calls(1);
    std::u16string joined; // what the calls type: without a count, up to each text's zero
    for (std::size_t i = 1; i + 1 < size; i += 2) {
        char16_t unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (unit == kCallBoundary) {
            calls.emplace_back();
            continue;
        }
        calls.back() += unit;
    }
    for (const std::u16string& text : calls) {
        joined += counted ? text : text.substr(0, text.find(u'\0'));
    }

    platform::SetKeySink(platform::MakeTextKeySink(SinkFile()));
    std::vector<platform::RecordedKey> split = Type(calls, mode);
    EscapeStateRecord afterSplit = EscapeState;
    platform::SetKeySink(nullptr); // writes a lone high surrogate that is still pending
    std::string written = TakeSinkOutput();
    std::vector<platform::RecordedKey> whole = Type({joined}, mode);

    Check(split == whole, "texts split across calls type as the joined text does in one call");
    Check(afterSplit.escapePending == EscapeState.escapePending &&
              afterSplit.hexDigit == EscapeState.hexDigit &&
              afterSplit.hexValue == EscapeState.hexValue &&
              afterSplit.virtualKeyMode == EscapeState.virtualKeyMode,
          "the escape state ends the same, split or joined");
    std::u16string typed = fuzz::TypedCharacters(fuzz::WholeStrokes(split));
    if ((mode & 2) != 0) {
        Check(split.empty(), "suppressed typing posts nothing");
    } else if ((mode & 1) == 0) {
        Check(typed == joined, "without escapes every character is typed as itself");
    }
    std::u16string carried;
    for (char16_t unit : typed) {
        if (unit != 0) {
            carried += unit;
        }
    }
    Check(fuzz::IsValidUtf8(written) && written == fuzz::ToUtf8(carried),
          "the text sink writes the typed characters as well-formed UTF-8");
    EscapeState = {};
    return 0;
}
