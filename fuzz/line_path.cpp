// The line reader's path from the bytes a device sends to the keys typed: lines
// framed by each end, arriving in pieces of any size, some of them not text, too
// long, or cut off by the device going away.
//
// Input: a settings byte (fuzz/support/composition.h); a byte whose low two bits
// choose LineEnd and whose upper six the size of the pieces the bytes arrive in;
// then the lines, each ended by 0x0A in the input (CR, LF, STX and ETX inside them
// are dropped, as the frame gives them). A last line without its 0x0A is sent
// without its end, and the device then goes away.
//
// Property: what is typed is exactly the composition of the whole lines that are
// text, in order: GS at a line's ends dropped and between fields a space, the
// line decoded with the code page; nothing of any other line.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/support/check.h"
#include "fuzz/support/composition.h"
#include "fuzz/support/reader_window.h"
#include "fuzz/support/strokes.h"
#include "platform/core/recorder.h"
#include "platform/windowing/message_loop.h"
#include "reader/line_reader.h"
#include "reader/msr_reader.h"
#include "settings/setting_catalog.h"

using fuzz::Check;

namespace {

// The composition a whole line types, or nothing for a line that is no good read.
std::u16string Expected(const fuzz::OutputChoice& choice, std::string line) {
    std::size_t first = line.find_first_not_of('\x1D');
    if (first == std::string::npos || line.size() > kLineTextSize - 1) {
        return u"";
    }
    line = line.substr(first, line.find_last_not_of('\x1D') + 1 - first);
    std::u16string wide(line.size(), u'\0');
    int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, line.data(),
                                     static_cast<int>(line.size()), wide.data(),
                                     static_cast<int>(wide.size()));
    if (length <= 0) {
        return u"";
    }
    wide.resize(static_cast<std::size_t>(length));
    for (char16_t& c : wide) {
        if (c == 0x1D) {
            c = u' ';
        } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            return u"";
        }
    }
    return fuzz::WithFrame(choice, wide);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    HWND window = fuzz::ReaderWindow();
    fuzz::FreshReaderDevice();
    fuzz::OutputChoice choice = fuzz::ApplyOutputChoice(data[0]);
    const char* end = kLineEnds[data[1] & 3];
    for (std::size_t i = 0; i <= std::char_traits<char>::length(end); ++i) {
        Settings.LineEnd[i] = static_cast<WCHAR>(end[i]);
    }
    std::string_view opening = data[1] % 4 == 3 ? "\x02" : "";
    std::string_view ending = data[1] % 4 == 0   ? "\r"
                              : data[1] % 4 == 1 ? "\n"
                              : data[1] % 4 == 2 ? "\r\n"
                                                 : "\x03";
    std::size_t piece = (data[1] >> 2) + 1u;
    Check(StartLineReader(window) == 1, "the reader starts on the in-memory device");

    std::string wire;
    std::u16string expected;
    std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);
    while (!input.empty()) {
        std::size_t newline = input.find('\n');
        std::string line;
        for (char c : input.substr(0, newline)) {
            if (c != '\r' && c != '\n' && c != '\x02' && c != '\x03') {
                line += c;
            }
        }
        wire += std::string(opening) + line;
        if (newline == std::string_view::npos) {
            break; // cut off: no end, and the device goes
        }
        wire += ending;
        expected += Expected(choice, line);
        input.remove_prefix(newline + 1);
    }
    for (std::size_t at = 0; at < wire.size(); at += piece) {
        std::size_t count = std::min(piece, wire.size() - at);
        TakeLineBytes(window, wire.data() + at, static_cast<int>(count));
    }
    EndLineByLoss();

    std::u16string typed = fuzz::TypedCharacters(fuzz::WholeStrokes(platform::Recorded().keys));
    Check(typed == expected, "the whole lines that are text are typed, in order, and nothing else");

    StopLineReader(window);
    platform::StopRecording();
    platform::DetachMemorySerialDevice(1);
    platform::ResetMessageLoop();
    ReadCount = 0;
    ReaderPort = 0;
    return 0;
}
