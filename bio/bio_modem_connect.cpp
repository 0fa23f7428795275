// The call result after dialling, with the carrier and connect speeds the modem
// reports after "CARRIER" and "CONNECT".
#include <climits>

#include "bio/bio_modem.h"
#include "bio/bio_port.h"
#include "bio/bio_profile.h"
#include "bio/bio_transfer.h"
#include "bio/bio_wait.h"

namespace {

// The call replies, by the index the results are told by.
constexpr int CallReplyCount = 5;
constexpr int ReplyCarrier = 0;
constexpr int ReplyConnect = 1;
constexpr int ReplyBusy = 2;
constexpr int ReplyNoDialtone = 3;
constexpr int ReplyNoCarrier = 4;
constexpr int CallReplyStrings[CallReplyCount] = {MODEM_STRING_CARRIER, MODEM_STRING_CONNECT,
                                                  MODEM_STRING_BUSY, MODEM_STRING_NO_DIALTONE,
                                                  MODEM_STRING_NO_CARRIER};
constexpr int SpeedDigits = 12;

enum SpeedField { NoSpeed = 0, CarrierSpeed = 1, ConnectSpeed = 2, BothSpeeds = 3 };

int TextLength(const char* text) {
    int length = 0;
    while (text[length] != 0) {
        length++;
    }
    return length;
}

// The call replies, longest first (equal lengths in index order), so that a reply
// whose tail is another reply wins over it: "NO CARRIER" ends with "CARRIER" and
// would otherwise be taken for a carrier report. Two replies can only both equal
// the tail of the stream when one ends with the other, so for all other replies
// this order decides nothing. `indexes` maps a position back to the reply index.
void OrderCallReplies(int portId, const char* ordered[CallReplyCount + 1],
                      int indexes[CallReplyCount]) {
    for (int k = 0; k < CallReplyCount; k++) {
        const char* text = bio_get_modemstring(portId, CallReplyStrings[k]);
        int position = k;
        while (position > 0 && TextLength(ordered[position - 1]) < TextLength(text)) {
            ordered[position] = ordered[position - 1];
            indexes[position] = indexes[position - 1];
            position--;
        }
        ordered[position] = text;
        indexes[position] = k;
    }
    ordered[CallReplyCount] = nullptr;
}

// Waits for one of the call replies; its index, or a negative result.
int WaitCallReply(int portId, int timeLimit) {
    if (bio_get_slot(portId) == nullptr) {
        return -BIO_NO_PORT;
    }
    const char* ordered[CallReplyCount + 1];
    int indexes[CallReplyCount];
    OrderCallReplies(portId, ordered, indexes);
    int position = bio_wait_response(portId, timeLimit, "", ordered);
    return position < 0 ? position : indexes[position];
}

// The value of a run of decimal digits, held at INT_MAX rather than overflowing.
int DecimalValue(const char* digits) {
    long long value = 0;
    for (int i = 0; digits[i] >= '0' && digits[i] <= '9'; i++) {
        value = value * 10 + (digits[i] - '0');
        if (value > INT_MAX) {
            return INT_MAX;
        }
    }
    return static_cast<int>(value);
}

bool IsDigit(int byte) {
    return byte >= '0' && byte <= '9';
}

// The next byte of the port for bio_read_digits. While none waits, the wait steps
// and sleeps until one comes. Returns the byte, or -1 when a read failed or the
// wait ended.
int NextByte(int portId, BioWait& wait) {
    for (;;) {
        // A port closed by a dispatched message has no count; its wait step ends it.
        if (bio_get_slot(portId) != nullptr && bio_get_inputcount(portId) > 0) {
            unsigned char byte = 0;
            int got = bio_read_bytes(portId, 1, &byte);
            if (got < 0) {
                return -1;
            }
            if (got == 1) {
                return byte;
            }
        }
        if (bio_wait_next(&wait, BIO_WAKE_ON_INPUT) != 0) {
            return -1;
        }
    }
}

bool EndsTheLine(int byte) {
    return byte == '\r' || byte == '\n';
}

// The first digit: other bytes are dropped, as long as the reply time allows.
int FirstDigit(int portId, BioWait& wait) {
    for (;;) {
        int byte = NextByte(portId, wait);
        if (byte < 0 || IsDigit(byte)) {
            return byte;
        }
        if (bio_wait_step(&wait) != 0) {
            return -1;
        }
    }
}

// Reads the line feed that follows a carriage return; any other byte is given back
// to the port, for it is already the far end's.
void TakeLineFeed(int portId, BioWait& wait) {
    int byte = NextByte(portId, wait);
    PortSlot* slot = bio_get_slot(portId);
    if (byte >= 0 && byte != '\n' && slot != nullptr) {
        slot->heldByte = static_cast<unsigned char>(byte);
        slot->hasHeldByte = true;
    }
}

// Reads the rest of a CARRIER or CONNECT line through its end, within the reply
// time. A modem ends a verbal reply with CR LF, so the line feed after a carriage
// return belongs to the line and is read with it (a line feed alone ends a line
// too). The first run of digits on it is the speed, stored into `fields`; a line
// without digits leaves them. What follows the line, another reply or the far
// end's data, stays in the port: far-end digits are never taken for a speed.
void ReadReplyLine(int portId, SpeedField fields) {
    BioWait wait;
    if (bio_start_wait(portId, bio_get_modemvalue(portId, MODEM_VALUE_REPLY_TIME), &wait) != 0) {
        return;
    }
    char digits[SpeedDigits];
    int stored = 0;
    bool runEnded = false;
    for (;;) {
        int byte = NextByte(portId, wait);
        if (byte == '\r') {
            TakeLineFeed(portId, wait);
        }
        if (byte < 0 || EndsTheLine(byte)) {
            break;
        }
        if (IsDigit(byte) && !runEnded) {
            // Digits beyond the buffer are a speed held at INT_MAX all the same.
            if (stored < SpeedDigits - 1) {
                digits[stored++] = static_cast<char>(byte);
            }
        } else {
            runEnded = stored > 0;
        }
        if (bio_wait_step(&wait) != 0) {
            break;
        }
    }
    digits[stored] = 0;
    PortSlot* slot = bio_get_slot(portId); // a handler may have closed it meanwhile
    if (stored == 0 || slot == nullptr) {
        return;
    }
    int speed = DecimalValue(digits);
    if (fields & CarrierSpeed) {
        slot->carrierSpeed = speed;
    }
    if (fields & ConnectSpeed) {
        slot->connectSpeed = speed;
    }
}

} // namespace

int bio_wait_connect(int portId) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return BIO_NO_PORT;
    }
    slot->carrierSpeed = static_cast<int>(slot->currentLineSettings.BaudRate);
    slot->connectSpeed = static_cast<int>(slot->currentLineSettings.BaudRate);

    int first = WaitCallReply(portId, bio_get_modemvalue(portId, MODEM_VALUE_CALL_TIME));
    if (first < 0) {
        return BIO_NO_CALL_RESULT;
    }
    if (first == ReplyBusy) {
        return BIO_LINE_BUSY;
    }
    if (first == ReplyNoDialtone) {
        return BIO_NO_DIALTONE;
    }
    if (first == ReplyNoCarrier) {
        return BIO_NO_CARRIER;
    }
    // Without a speed on its line the message leaves both speeds at the line rate.
    ReadReplyLine(portId, BothSpeeds);
    // After CONNECT the line carries the far end's data, which is the caller's:
    // nothing more is read.
    if (first == ReplyConnect) {
        return 0;
    }
    // A carrier report is followed by the connect message with its own speed, or
    // by NO CARRIER when the call failed after all: reporting that as connected
    // would send the caller's data nowhere.
    int second = WaitCallReply(portId, bio_get_modemvalue(portId, MODEM_VALUE_REPLY_TIME));
    if (second < 0) {
        return 0;
    }
    if (second == ReplyNoCarrier) {
        return BIO_NO_CARRIER;
    }
    SpeedField field = second == ReplyCarrier   ? CarrierSpeed
                       : second == ReplyConnect ? ConnectSpeed
                                                : NoSpeed;
    ReadReplyLine(portId, field);
    return 0;
}

int bio_read_digits(int portId, int size, char* buffer) {
    if (bio_get_slot(portId) == nullptr) {
        return -BIO_NO_DIGITS;
    }
    BioWait wait;
    if (bio_start_wait(portId, bio_get_modemvalue(portId, MODEM_VALUE_REPLY_TIME), &wait) != 0) {
        return -BIO_NO_DIGITS;
    }
    int byte = FirstDigit(portId, wait);
    if (byte < 0) {
        return -BIO_NO_DIGITS;
    }
    int stored = 0;
    while (stored < size - 1 && IsDigit(byte)) {
        buffer[stored++] = static_cast<char>(byte);
        byte = NextByte(portId, wait);
    }
    if (size >= 1) {
        buffer[stored] = 0;
    }
    return 0;
}
