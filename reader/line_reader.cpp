#include "reader/line_reader.h"

#include <cstring>

#include "bio/bio.h"
#include "keys/scan_output.h"
#include "platform/core/read_tally.h"
#include "platform/core/system.h"
#include "platform/serial/port_presence.h"
#include "platform/windowing/messages.h"
#include "reader/msr_reader.h"
#include "reader/rfid_reader.h"
#include "reader/track_decode.h"
#include "settings/setting_catalog.h"
#include "settings/settings.h"

int LineActive = 0;
WCHAR LineText[kLineTextSize];

namespace {

constexpr int kLinePortNumber = 1;
constexpr int kQueueSize = 1024;
constexpr int kNoFlowControlLinesRaised = 4;
constexpr int kNoOptions = 0;
// bio_setup_port's codes.
constexpr int kOddParity = 1;
constexpr int kEvenParity = 2;
constexpr int kSevenDataBits = 2;
constexpr int kEightDataBits = 3;
constexpr int kTwoStopBits = 1;

constexpr char kSTX = 0x02;
constexpr char kETX = 0x03;
constexpr char kLF = 0x0A;
constexpr char kCR = 0x0D;
constexpr char kGS = 0x1D;
constexpr WCHAR kSpace = u' ';

constexpr int kLongestLine = kLineTextSize - 1;

// A device sends a line in one go; a line begun and silent this long has lost
// its end, and would otherwise spoil the next line it ran into.
constexpr DWORD kLineSilence = 1000;

enum LineEndKind { kEndCR, kEndLF, kEndCRLF, kEndETX };

// Taken from Settings when the reader starts.
LineEndKind EndKind = kEndCR;
bool SevenBits = false;

// The line being read: its bytes so far, whether it ran past 1023 bytes (and is
// dropped through its end, counted once), and, for CR LF, a CR waiting for its LF.
char Held[kLongestLine];
int HeldCount = 0;
bool Overlong = false;
bool HeldCR = false;
DWORD LastArrival = 0;

// The index of a word setting's value among its words; 0, its default, when the
// field holds none of them.
int SettingWordIndex(const WCHAR* name) {
    const SettingEntry& setting = *FindSetting(name);
    const WCHAR* value = TextField(setting, &Settings);
    int index = FindSettingWord(setting, value, std::char_traits<WCHAR>::length(value));
    return index < 0 ? 0 : index;
}

LineEndKind ChosenEnd() {
    const char* word = kLineEnds[SettingWordIndex(u"LineEnd")];
    if (std::strcmp(word, "LF") == 0) {
        return kEndLF;
    }
    if (std::strcmp(word, "CRLF") == 0) {
        return kEndCRLF;
    }
    return std::strcmp(word, "ETX") == 0 ? kEndETX : kEndCR;
}

// The port's set-up codes from LineFormat: data bits, parity, stop bits.
struct LineFormatCodes {
    int dataBits;
    int parity;
    int stopBits;
};

LineFormatCodes ChosenFormat() {
    const char* word = kLineFormats[SettingWordIndex(u"LineFormat")];
    LineFormatCodes codes{word[0] == '7' ? kSevenDataBits : kEightDataBits, 0, 0};
    if (word[1] == 'E') {
        codes.parity = kEvenParity;
    } else if (word[1] == 'O') {
        codes.parity = kOddParity;
    }
    codes.stopBits = word[2] == '2' ? kTwoStopBits : 0;
    return codes;
}

void BadRead() {
    TallyRead("line", FALSE, nullptr);
    ReportBadRead();
}

// A byte of text for the line; past 1023 of them the line is too long.
void Hold(char byte) {
    if (Overlong) {
        return;
    }
    if (HeldCount == kLongestLine) {
        Overlong = true;
        HeldCount = 0;
        BadRead();
        return;
    }
    Held[HeldCount++] = byte;
}

bool IsControl(WCHAR c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// The held line decoded into LineText. 1 when it is text, 0 when it is not, -1
// when nothing is left of it once the separators at its ends are dropped.
int DecodeHeldLine() {
    int first = 0;
    int end = HeldCount;
    if (EndKind == kEndLF && end > 0 && Held[end - 1] == kCR) {
        --end; // a CR LF device on a reader set to LF
    }
    while (first < end && Held[first] == kGS) {
        ++first;
    }
    while (end > first && Held[end - 1] == kGS) {
        --end;
    }
    if (first == end) {
        return -1;
    }
    int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, Held + first, end - first,
                                     LineText, kLongestLine);
    if (length <= 0) {
        LineText[0] = u'\0';
        return 0;
    }
    LineText[length] = u'\0';
    for (int i = 0; i < length; ++i) {
        if (LineText[i] == static_cast<WCHAR>(kGS)) {
            LineText[i] = kSpace;
        } else if (IsControl(LineText[i])) {
            return 0;
        }
    }
    return 1;
}

void FinishLine(HWND window) {
    if (Overlong) {
        Overlong = false;
        return;
    }
    int verdict = HeldCount > 0 ? DecodeHeldLine() : -1;
    HeldCount = 0;
    if (verdict < 0) {
        return;
    }
    TallyRead("line", verdict, nullptr);
    if (verdict == 0) {
        ReportBadRead();
        return;
    }
    SendScanOutput(window, kLineOutput);
}

// A line begun that will not end: a bad read, unless it was counted already as
// too long.
void CutLine() {
    bool begun = HeldCount > 0 || HeldCR;
    if (begun && !Overlong) {
        BadRead();
    }
    ClearLineState();
}

bool IsEndByte(char byte) {
    switch (EndKind) {
    case kEndLF:
        return byte == kLF;
    case kEndETX:
        return byte == kETX;
    case kEndCR:
    case kEndCRLF:
        break;
    }
    return byte == kCR;
}

void TakeByte(HWND window, char byte) {
    if (HeldCR) {
        HeldCR = false;
        if (byte == kLF) {
            FinishLine(window);
            return;
        }
        Hold(kCR); // a CR alone is no end, and no text either
    }
    if (IsEndByte(byte)) {
        if (EndKind == kEndCRLF) {
            HeldCR = true;
        } else {
            FinishLine(window);
        }
        return;
    }
    bool opening = HeldCount == 0 && !Overlong;
    if (opening && (byte == kCR || byte == kLF)) {
        return;
    }
    if (EndKind == kEndETX && byte == kSTX) {
        if (!opening) {
            CutLine();
        }
        return;
    }
    Hold(byte);
}

// Reads everything that waits, in pieces of the queue's size. False when the
// device is gone.
bool ReadWaiting(HWND window) {
    char bytes[kQueueSize];
    for (;;) {
        int waiting = bio_get_inputcount(ReaderPort);
        if (waiting < 0) {
            return false;
        }
        // While a line is begun, a read that finds nothing also tells a device
        // that went away (the count alone does not).
        bool begun = HeldCount > 0 || HeldCR || Overlong;
        if (waiting == 0 && !begun) {
            return true;
        }
        int wanted = waiting == 0 ? 1 : waiting < kQueueSize ? waiting : kQueueSize;
        int count = bio_read_bytes(ReaderPort, wanted, bytes);
        if (count < 0) {
            return false;
        }
        if (count == 0) {
            return platform::ComPortPresence(kLinePortNumber) != platform::PortPresence::Waiting;
        }
        LastArrival = GetTickCount();
        TakeLineBytes(window, bytes, count);
        // Typing may have stopped the reader (a key sink that dispatches).
        if (LineActive == 0) {
            return true;
        }
    }
}

} // namespace

int StartLineReader(HWND window) {
    if (LineActive != 0) {
        return 0;
    }
    ReaderPort = bio_open_port(kLinePortNumber, kQueueSize, kQueueSize);
    if (ReaderPort < 0) {
        NKDbgPrintfW(u"Error %d opening line serial port", ReaderPort);
        return 0;
    }
    LineFormatCodes format = ChosenFormat();
    int code =
        bio_setup_port(ReaderPort, static_cast<int>(Settings.LineBaud), format.parity,
                       format.dataBits, format.stopBits, kNoFlowControlLinesRaised, kNoOptions);
    if (code != 0) {
        NKDbgPrintfW(u"Error %d configuring line serial port", code);
        bio_close_port(ReaderPort);
        ReaderPort = 0;
        return 0;
    }
    EndKind = ChosenEnd();
    SevenBits = format.dataBits == kSevenDataBits;
    // Nothing from before the start is read.
    ReadCount = 0;
    bio_purge_input(ReaderPort);
    ClearLineState();
    SetTimer(window, LineTimerId, kLineTick, OnLineTimer);
    LineActive = 1;
    return 1;
}

int StopLineReader(HWND window) {
    if (LineActive == 0) {
        return 0;
    }
    KillTimer(window, LineTimerId);
    bio_close_port(ReaderPort);
    ReaderPort = 0;
    ClearLineState();
    LineActive = 0;
    return 0;
}

void OnLineTimer(HWND window, UINT, UINT_PTR, DWORD) {
    if (!ReadWaiting(window)) {
        EndLineByLoss();
        return;
    }
    bool begun = HeldCount > 0 || HeldCR || Overlong;
    if (begun && GetTickCount() - LastArrival >= kLineSilence) {
        CutLine();
    }
}

void TakeLineBytes(HWND window, const char* bytes, int count) {
    for (int i = 0; i < count; ++i) {
        // Seven data bits: the eighth is never the device's.
        char byte = SevenBits ? static_cast<char>(bytes[i] & 0x7F) : bytes[i];
        TakeByte(window, byte);
    }
}

void EndLineByLoss() {
    CutLine();
}

void ClearLineState() {
    HeldCount = 0;
    Overlong = false;
    HeldCR = false;
    LastArrival = GetTickCount();
}

int StartChosenReader(HWND window) {
    if (Settings.UseLine != 0) {
        return StartLineReader(window);
    }
    return Settings.UseMSR != 0 ? StartMSRReader(window) : StartRFIDReader(window);
}

void StopEveryReader(HWND window) {
    if (LineActive != 0) {
        StopLineReader(window);
    }
    if (MSRActive != 0) {
        StopMSRReader(window);
    }
    if (RFIDActive != 0) {
        StopRFIDReader(window);
    }
}

int AnyReaderActive() {
    return MSRActive != 0 || RFIDActive != 0 || LineActive != 0 ? 1 : 0;
}
