#include "reader/rfid_reader.h"

#include <cstdio>
#include <cstring>

#include "bio/bio.h"
#include "keys/scan_output.h"
#include "platform/core/read_tally.h"
#include "platform/core/system.h"
#include "platform/windowing/messages.h"
#include "settings/settings.h"

int RFIDActive = 0;

namespace {

constexpr int kRFIDPortNumber = 1;
constexpr int kQueueSize = 1024;
constexpr int kRFIDBaudRate = 19200;
constexpr int kNoParity = 0;
constexpr int kEightDataBits = 3;
constexpr int kOneStopBit = 0;
constexpr int kNoFlowControlLinesRaised = 4;
constexpr int kNoOptions = 0;

// Header, length of what follows, command "read tag", exclusive-or of the three.
const unsigned char kTagRequest[4] = {0xBA, 0x02, 0x01, 0xB9};

// A tick reads only when at least this many bytes wait.
constexpr int kMinimumToRead = 4;

constexpr unsigned char kReplyHeader = 0xBD;
constexpr unsigned char kReadTagCommand = 0x01;
constexpr unsigned char kStatusSuccess = 0x00;
constexpr unsigned char kMinimumReplyLength = 8;
constexpr unsigned char kLongTagReplyLength = 11;
constexpr int kTagStart = 4;
constexpr int kShortTagBytes = 4;
constexpr int kLongTagBytes = 7;

unsigned char ReplyByte(int offset) {
    return static_cast<unsigned char>(TagText[offset]);
}

} // namespace

int StartRFIDReader(HWND window) {
    // Already running: nothing to do.
    if (RFIDActive != 0) {
        return 0;
    }
    RFIDActive = OpenRFIDPort();
    if (RFIDActive == 0) {
        return 0;
    }
    // Start clean: no count, no bytes queued, no tag text from an earlier run.
    ReadCount = 0;
    bio_purge_input(ReaderPort);
    ClearTagText();
    // Polling starts; the result is not tested.
    SetTimer(window, RFIDTimerId, Settings.RFIDInterval, OnRFIDTimer);
    return 1;
}

int OpenRFIDPort() {
    // A failed open leaves its negative code in ReaderPort.
    ReaderPort = bio_open_port(kRFIDPortNumber, kQueueSize, kQueueSize);
    if (ReaderPort < 0) {
        NKDbgPrintfW(u"Error %d opening RFID serial port", ReaderPort);
        return 0;
    }
    int code = bio_setup_port(ReaderPort, kRFIDBaudRate, kNoParity, kEightDataBits, kOneStopBit,
                              kNoFlowControlLinesRaised, kNoOptions);
    if (code == 0) {
        return 1;
    }
    NKDbgPrintfW(u"Error %d configuring RFID serial port", code);
    bio_close_port(ReaderPort);
    ReaderPort = 0;
    return 0;
}

int StopRFIDReader(HWND window) {
    KillTimer(window, RFIDTimerId);
    CloseRFIDPort();
    RFIDActive = 0;
    return 0;
}

int CloseRFIDPort() {
    bio_close_port(ReaderPort);
    ReaderPort = 0;
    return 0;
}

void SendTagRequest() {
    bio_write_bytes(ReaderPort, static_cast<int>(sizeof kTagRequest), kTagRequest);
}

void ClearTagText() {
    std::memset(TagText, 0, sizeof TagText);
}

void OnRFIDTimer(HWND window, UINT, UINT_PTR, DWORD) {
    int replied = ReadTagReply();
    // Whether the reader answers at all, for the status: a reader that is gone
    // or set to another rate is silent or sends what is no reply.
    TallyReaderPoll(replied != 0 && ReplyByte(0) == kReplyHeader ? TRUE : FALSE);
    if (replied == 0) {
        return;
    }
    int parsed = ParseTagReply();
    // The reader's answer that it sees no tag is no read.
    if (parsed == 0 && ReplyByte(0) == kReplyHeader && ReplyByte(2) == kReadTagCommand &&
        ReplyByte(3) != kStatusSuccess) {
        return;
    }
    // Counted and logged by its verdict alone, for the status and the event log.
    TallyRead("rfid", parsed, nullptr);
    // A rejected reply is dropped silently.
    if (parsed == 0) {
        return;
    }
    // A tag number is typed.
    if (TagText[0] != '\0') {
        SendScanOutput(window, 0);
    }
}

int ReadTagReply() {
    // A new request, then the count of what has come in. The count is taken at
    // once, so the answer to this request is collected at a later tick.
    SendTagRequest();
    int waiting = bio_get_inputcount(ReaderPort);
    // Too little for a reply: the bytes are dropped.
    if (waiting < kMinimumToRead) {
        bio_purge_input(ReaderPort);
        return 0;
    }
    // All the waiting bytes, as many as TagText holds.
    if (waiting > kTagTextSize) {
        waiting = kTagTextSize;
    }
    ReadCount = bio_read_bytes(ReaderPort, waiting, TagText);
    return ReadCount > 0 ? 1 : 0;
}

int ParseTagReply() {
    // Too few bytes to be a reply.
    if (ReadCount < 3) {
        ClearTagText();
        return 0;
    }
    // Not a successful answer to the read-tag command.
    if (ReplyByte(0) != kReplyHeader || ReplyByte(2) != kReadTagCommand ||
        ReplyByte(3) != kStatusSuccess) {
        return 0;
    }
    // A length byte too small for a tag number.
    unsigned char length = ReplyByte(1);
    if (length < kMinimumReplyLength) {
        ClearTagText();
        return 0;
    }
    // A reply that stops before the end of its tag number is refused: the missing
    // bytes would come from whatever an earlier reply left in TagText.
    int tagBytes = length == kLongTagReplyLength ? kLongTagBytes : kShortTagBytes;
    if (ReadCount < kTagStart + tagBytes) {
        return 0;
    }
    // The tag number in hexadecimal (7 bytes for a long reply, else 4).
    char scratch[40] = {};
    for (int i = 0; i < tagBytes; ++i) {
        std::size_t offset = 2 * static_cast<std::size_t>(i);
        std::snprintf(scratch + offset, sizeof scratch - offset, "%2X", ReplyByte(kTagStart + i));
    }
    // The text replaces the raw reply.
    std::memcpy(TagText, scratch, std::strlen(scratch) + 1);
    return 1;
}
