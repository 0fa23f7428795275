#include "reader/msr_reader.h"

#include "app/settings.h"
#include "bio/bio.h"
#include "keys/scan_output.h"
#include "platform/messages.h"
#include "platform/system.h"
#include "reader/track_decode.h"

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

// A tick reads only when at least this many bytes wait.
constexpr int kMinimumToRead = 6;

// A swipe counts as still arriving while its byte count changes within this window.
// Bytes do not come evenly: a UART hands them over a few at a time, and a USB serial
// adapter in bursts up to about 16 ms apart, so the window is longer than that.
constexpr DWORD kQuietWindow = 20;
constexpr DWORD kQuietStep = 2;

} // namespace

int StartMSRReader(HWND window) {
    // 1.
    if (MSRActive != 0) {
        return 0;
    }
    // 2.
    MSRActive = OpenMSRPort();
    if (MSRActive == 0) {
        return 0;
    }
    // 3-5.
    ReadCount = 0;
    bio_purge_input(ReaderPort);
    ClearMSRBuffers();
    // 6. The result is not tested.
    SetTimer(window, MSRTimerId, Settings.MSRInterval, OnMSRTimer);
    return 1;
}

int OpenMSRPort() {
    // 1-2. A failed open leaves its negative code in ReaderPort.
    ReaderPort = bio_open_port(kMSRPortNumber, kQueueSize, kQueueSize);
    if (ReaderPort < 0) {
        NKDbgPrintfW(u"Error %d opening MSR serial port", ReaderPort);
        return 0;
    }
    // 3.
    int code = bio_setup_port(ReaderPort, kMSRBaudRate, kNoParity, kEightDataBits, kOneStopBit,
                              kNoFlowControlLinesRaised, kNoOptions);
    if (code == 0) {
        return 1;
    }
    // 4.
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
    // 1.
    if (ReadMSRLine() == 0) {
        return;
    }
    // 2. A bad read has already beeped when Beep is set.
    if (DecodeTracks() == 0) {
        return;
    }
    // 3.
    SendScanOutput(window, 1);
}

int ReadMSRLine() {
    // 1. Fewer than 6 bytes stay queued for a later tick.
    int waiting = bio_get_inputcount(ReaderPort);
    if (waiting < kMinimumToRead) {
        return 0;
    }
    // A swipe still arriving stays queued too, so that it is read whole at a later
    // tick instead of being cut where the queue momentarily runs dry. With a full
    // line's worth waiting there is nothing to wait for: the read stops there anyway.
    if (waiting < kLineBufferSize - 1 && SwipeStillArriving(waiting) != 0) {
        return 0;
    }
    // 2-3.
    ReadCount = bio_read_line(ReaderPort, kLineBufferSize, RawLine);
    return ReadCount > 0 ? 1 : 0;
}

int SwipeStillArriving(int waiting) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kQuietWindow) {
        Sleep(kQuietStep);
        if (bio_get_inputcount(ReaderPort) != waiting) {
            return 1;
        }
    }
    return 0;
}
