// The reply matcher of the modem command layer. It keeps a window of the last L
// bytes received, L being the longest expected reply, and after every byte
// compares each reply with the tail of the window:
//
//   window  [ b0 b1 ... bL-1 ] 0        reply k starts at L - length(k),
//   new byte shifts in at the right     so it is compared with the last bytes.
//
// Echoed commands and other text before a reply thus do no harm.
#include <cstdlib>
#include <cstring>

#include "bio/bio_modem.h"
#include "bio/bio_port.h"
#include "bio/bio_transfer.h"
#include "bio/bio_wait.h"

namespace {

// The window and the start positions, allocated for one call.
struct ReplyWindow {
    char* bytes; // length + 1 bytes, the last always zero
    int* starts; // where each reply starts in the window
    int length;  // L
    const char* const* replies;
};

int FirstEqualReply(const ReplyWindow& window) {
    for (int k = 0; window.replies[k] != nullptr; k++) {
        if (std::strcmp(window.bytes + window.starts[k], window.replies[k]) == 0) {
            return k;
        }
    }
    return -1;
}

// Reads one byte and, when one came, shifts the window one place to the front
// (the zero at L moves into L - 1) and puts the byte at L - 1. A read that brings
// nothing leaves the window as it was: a stale count or a failed read between two
// bytes of a reply must not break the reply apart. Returns what the read returned.
int ShiftInOneByte(int portId, ReplyWindow& window) {
    char byte = 0;
    int got = bio_read_bytes(portId, 1, &byte);
    if (got == 1) {
        std::memmove(window.bytes, window.bytes + 1, static_cast<std::size_t>(window.length));
        window.bytes[window.length - 1] = byte;
    }
    return got;
}

// Reads and compares while bytes wait; while none does, steps the wait and sleeps
// until bytes come (or a message, or the time limit). A read that brings no byte
// (the count was stale, or the read failed) also steps the wait, so the time limit
// still ends a port whose reads keep failing.
int WatchForReplies(int portId, BioWait& wait, ReplyWindow& window) {
    for (;;) {
        // A port closed by a dispatched message has no count; its wait step ends it.
        int waiting = bio_get_slot(portId) != nullptr ? bio_get_inputcount(portId) : 0;
        if (waiting > 0 && ShiftInOneByte(portId, window) == 1) {
            int match = FirstEqualReply(window);
            if (match >= 0) {
                return match;
            }
            continue;
        }
        if (bio_wait_next(&wait, BIO_WAKE_ON_INPUT) != 0) {
            return -BIO_WAIT_ENDED;
        }
    }
}

// Counts the replies and finds the longest length.
void MeasureReplies(const char* const* replies, int& count, int& longest) {
    count = 0;
    longest = 0;
    for (; replies[count] != nullptr; count++) {
        int length = static_cast<int>(std::strlen(replies[count]));
        longest = length > longest ? length : longest;
    }
}

} // namespace

int bio_wait_response(int portId, int timeLimit, const char* text, const char* const* replies) {
    if (replies == nullptr || replies[0] == nullptr) {
        return -BIO_BAD_ARGUMENT;
    }
    int count;
    int longest;
    MeasureReplies(replies, count, longest);
    // With only empty replies the window would have no room for a byte.
    if (longest == 0) {
        return -BIO_BAD_ARGUMENT;
    }
    if (bio_get_slot(portId) == nullptr) {
        return -BIO_NO_PORT;
    }
    int sent = bio_write_string(portId, text);
    if (sent != -BIO_ALL_WRITTEN) {
        return sent < 0 ? sent : -BIO_WRITE_INCOMPLETE;
    }
    ReplyWindow window{
        static_cast<char*>(std::calloc(static_cast<std::size_t>(longest) + 1, 1)),
        static_cast<int*>(std::malloc(sizeof(int) * static_cast<std::size_t>(count))), longest,
        replies};
    int result = -BIO_NO_MEMORY;
    if (window.bytes != nullptr && window.starts != nullptr) {
        for (int k = 0; k < count; k++) {
            window.starts[k] = longest - static_cast<int>(std::strlen(replies[k]));
        }
        BioWait wait;
        bio_start_wait(portId, timeLimit, &wait);
        result = WatchForReplies(portId, wait, window);
    }
    std::free(window.bytes);
    std::free(window.starts);
    return result;
}

int bio_wait_string(int portId, int timeLimit, const char* text, const char* reply) {
    const char* replies[] = {reply, nullptr};
    int result = bio_wait_response(portId, timeLimit, text, replies);
    return result < 0 ? result : 0;
}
