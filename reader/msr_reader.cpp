#include "reader/msr_reader.h"

#include <cstring>

#include "bio/bio.h"
#include "keys/scan_output.h"
#include "platform/core/read_tally.h"
#include "platform/core/system.h"
#include "platform/windowing/messages.h"
#include "reader/track_decode.h"
#include "settings/settings.h"

int ReaderPort = 0;
int ReadCount = 0;
int MSRActive = 0;

namespace {

constexpr int kMSRPortNumber = 1;
constexpr int kQueueSize = 1024;
constexpr int kMSRBaudRate = 9600;
constexpr int kNoParity = 0;
constexpr int kEightDataBits = 3;
constexpr int kOneStopBit = 0;
constexpr int kNoFlowControlLinesRaised = 4;
constexpr int kNoOptions = 0;

// The bytes that end a line, as bio_read_line knows them.
constexpr char kLineTerminators[] = {'\r', '\n', '\0'};
constexpr int kLineTerminatorCount = 3;

// A swipe's bytes may pause on their way (a loaded machine, a slow USB serial
// adapter): a 200 ms gap inside a track is not rare. Only after a silence much
// longer than any such pause is a line without its terminator judged as it stands.
constexpr DWORD kLineSilence = 500;

constexpr char kTrackStarts[] = "%;+";
constexpr char kTrackEnd = '?';

// The bytes read from the port that do not yet form a whole line: a line is taken
// from here only once its terminator has arrived, so a cut part of a card is never
// decoded as a read of its own. Bytes after a taken line stay for the next tick.
char PendingLine[kLineBufferSize];
int PendingCount = 0;
DWORD LastArrival = 0;

// A line that has not ended within the 1023 characters RawLine holds is no card:
// noise from a reader at the wrong rate, or a track too long. Taking its first
// part would type a card number cut short as a good read; instead it is dropped
// through its end (or its silence), with the bad-read beep. Set while the rest of
// such a line is being dropped.
int DroppingLongLine = 0;

int IsLineTerminator(char byte) {
    return bio_is_terminator(byte, kLineTerminators, kLineTerminatorCount);
}

void DropPendingBytes(int count) {
    for (int i = count; i < PendingCount; ++i) {
        PendingLine[i - count] = PendingLine[i];
    }
    PendingCount -= count;
}

// Whether the held bytes end on a whole track: an end sentinel after the last
// start sentinel. A reader that sends no line end leaves its swipe like this; a
// swipe cut off by the silence or by a lost device does not.
bool PendingEndsATrack() {
    int lastStart = -1;
    for (int i = 0; i < PendingCount; ++i) {
        if (std::strchr(kTrackStarts, PendingLine[i]) != nullptr && PendingLine[i] != '\0') {
            lastStart = i;
        }
    }
    if (lastStart < 0) {
        return false;
    }
    for (int i = lastStart + 1; i < PendingCount; ++i) {
        if (PendingLine[i] == kTrackEnd) {
            return true;
        }
    }
    return false;
}

// The held bytes were cut off (by the silence or a failed port) before their
// line ended: part of a card, never typed, never kept to go with the next swipe.
// A bad read, counted and beeped like any other.
void DropCutOffLine() {
    if (PendingCount == 0) {
        return;
    }
    PendingCount = 0;
    TallyRead("msr", FALSE, nullptr);
    ReportBadRead();
}

// Reads what waits into the held line. 0 when the read failed (ReadCount then
// holds its code), else 1.
int HoldWaitingBytes(int waiting) {
    int room = kLineBufferSize - PendingCount;
    int count =
        bio_read_bytes(ReaderPort, waiting < room ? waiting : room, PendingLine + PendingCount);
    if (count < 0) {
        ReadCount = count;
        return 0;
    }
    if (count > 0) {
        // A silence ends a line too long as it ends any other line.
        if (DroppingLongLine != 0 && GetTickCount() - LastArrival >= kLineSilence) {
            DroppingLongLine = 0;
        }
        PendingCount += count;
        LastArrival = GetTickCount();
    }
    return 1;
}

// Drops the held bytes of a line too long, up to and with its end. 1 when the
// line has ended, 0 while its end is still to come.
int DropRestOfLongLine() {
    for (int i = 0; i < PendingCount; ++i) {
        if (IsLineTerminator(PendingLine[i]) != 0) {
            DropPendingBytes(i + 1);
            DroppingLongLine = 0;
            return 1;
        }
    }
    PendingCount = 0;
    return 0;
}

void BeginDroppingLongLine() {
    PendingCount = 0;
    DroppingLongLine = 1;
    // A bad read like any other: counted and logged, with no track decoded.
    TallyRead("msr", FALSE, nullptr);
    ReportBadRead();
}

// PendingLineLength's answers for a line with no end within 1023 characters, and
// for held bytes that fell silent before their line ended.
constexpr int kLineTooLong = -2;
constexpr int kLineCutOff = -3;

// The length of the line to take from the held bytes, -1 while none is whole,
// kLineTooLong or kLineCutOff.
int PendingLineLength() {
    // Leading terminators are dropped: the second of a CR LF pair, or idle fill.
    int leading = 0;
    while (leading < PendingCount && IsLineTerminator(PendingLine[leading]) != 0) {
        ++leading;
    }
    DropPendingBytes(leading);
    if (PendingCount == 0) {
        return -1;
    }
    // A line ends at its terminator, at most 1023 characters in.
    for (int i = 0; i < PendingCount && i < kLineBufferSize; ++i) {
        if (IsLineTerminator(PendingLine[i]) != 0) {
            return i;
        }
    }
    if (PendingCount >= kLineBufferSize) {
        return kLineTooLong;
    }
    // No terminator: the rest of the line may still come, unless the line fell
    // silent. Then only bytes that end on a whole track are a line.
    if (GetTickCount() - LastArrival < kLineSilence) {
        return -1;
    }
    return PendingEndsATrack() ? PendingCount : kLineCutOff;
}

// Moves the first `length` held bytes to RawLine as the line just read.
void TakePendingLine(int length) {
    for (int i = 0; i < length; ++i) {
        RawLine[i] = PendingLine[i];
    }
    RawLine[length] = '\0';
    ReadCount = length;
    // The terminator that ended the line goes with it.
    int taken = length;
    if (taken < PendingCount && IsLineTerminator(PendingLine[taken]) != 0) {
        ++taken;
    }
    DropPendingBytes(taken);
}

} // namespace

int StartMSRReader(HWND window) {
    if (MSRActive != 0) {
        return 0;
    }
    MSRActive = OpenMSRPort();
    if (MSRActive == 0) {
        return 0;
    }
    // Nothing from before the start is read: the queue, the buffers and the held
    // line are emptied.
    ReadCount = 0;
    bio_purge_input(ReaderPort);
    ClearMSRBuffers();
    ClearPendingLine();
    // A failed timer goes unnoticed: the reader counts as running but never polls.
    SetTimer(window, MSRTimerId, Settings.MSRInterval, OnMSRTimer);
    return 1;
}

int OpenMSRPort() {
    // A failed open leaves its negative code in ReaderPort.
    ReaderPort = bio_open_port(kMSRPortNumber, kQueueSize, kQueueSize);
    if (ReaderPort < 0) {
        NKDbgPrintfW(u"Error %d opening MSR serial port", ReaderPort);
        return 0;
    }
    int code = bio_setup_port(ReaderPort, kMSRBaudRate, kNoParity, kEightDataBits, kOneStopBit,
                              kNoFlowControlLinesRaised, kNoOptions);
    if (code == 0) {
        return 1;
    }
    NKDbgPrintfW(u"Error %d configuring MSR serial port", code);
    bio_close_port(ReaderPort);
    ReaderPort = 0;
    return 0;
}

int StopMSRReader(HWND window) {
    KillTimer(window, MSRTimerId);
    CloseMSRPort();
    MSRActive = 0;
    return 0;
}

int CloseMSRPort() {
    bio_close_port(ReaderPort);
    ReaderPort = 0;
    return 0;
}

void OnMSRTimer(HWND window, UINT, UINT_PTR, DWORD) {
    if (ReadMSRLine() == 0) {
        return;
    }
    int good = DecodeTracks();
    // Counted and logged by its verdict alone, for the status and the event log.
    TallyRead("msr", good, TrackVerdicts());
    // A bad read has already beeped when Beep is set.
    if (good == 0) {
        return;
    }
    SendScanOutput(window, 1);
}

int ReadMSRLine() {
    // Whatever waits is read at once: a line that has its end is taken whatever
    // its length. A port that fails cuts off the line it was bringing.
    int waiting = bio_get_inputcount(ReaderPort);
    if (waiting < 0 || (waiting > 0 && HoldWaitingBytes(waiting) == 0)) {
        DropCutOffLine();
        return 0;
    }
    if (DroppingLongLine != 0 && DropRestOfLongLine() == 0) {
        return 0;
    }
    int length = PendingLineLength();
    if (length == kLineTooLong) {
        BeginDroppingLongLine();
    }
    if (length == kLineCutOff) {
        DropCutOffLine();
    }
    if (length < 0) {
        return 0;
    }
    TakePendingLine(length);
    return ReadCount > 0 ? 1 : 0;
}

void ClearPendingLine() {
    PendingCount = 0;
    LastArrival = 0;
    DroppingLongLine = 0;
}

int PendingLineBytes() {
    return PendingCount;
}
