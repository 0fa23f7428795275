// Moving bytes through an open port: blocks, strings, single bytes and lines.
#include "bio/bio_transfer.h"

#include <cstring>

#include "bio/bio_port.h"

namespace {

// The leading phase of a line read: drops leading terminators and stores the
// first other byte in buffer[0]. Returns 1 when it did, else the result of the
// read that brought nothing (0) or failed (-BIO_NO_PORT, -BIO_IO_FAILED).
//
// The count of waiting bytes is taken before every read (it also collects line
// errors), but the call does not spin on it: when nothing is waiting, the read
// itself waits the port's read time-out for a byte, so a silent port, or one
// whose count keeps failing, ends the call instead of holding the caller.
int ReadFirstByte(int portId, const PortSlot* slot, char* buffer) {
    for (;;) {
        int waiting = bio_get_inputcount(portId);
        int result = bio_read_bytes(portId, 1, buffer);
        if (result != 1) {
            return (result == 0 && waiting < 0) ? waiting : result;
        }
        if (!bio_is_terminator(buffer[0], slot->terminatorSet, slot->terminatorCount)) {
            return 1;
        }
    }
}

} // namespace

int bio_write_bytes(int portId, int count, const void* data) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return -BIO_NO_PORT;
    }
    if (count <= 0) {
        return 0;
    }
    DWORD written = 0;
    if (!WriteFile(slot->handle, data, static_cast<DWORD>(count), &written, nullptr)) {
        bio_update_status(portId);
        return -BIO_IO_FAILED;
    }
    return static_cast<int>(written);
}

int bio_write_string(int portId, const char* text) {
    // A null text is taken as the empty one rather than read through.
    int length = text == nullptr ? 0 : static_cast<int>(std::strlen(text));
    int result = bio_write_bytes(portId, length, text);
    return result == length ? -BIO_ALL_WRITTEN : result;
}

int bio_write_char(int portId, int byte) {
    unsigned char value = static_cast<unsigned char>(byte & 0xFF);
    int result = bio_write_bytes(portId, 1, &value);
    // A status operation: the block write's negated codes become codes.
    if (result < 0) {
        return -result;
    }
    return result == 0 ? BIO_WRITE_INCOMPLETE : 0;
}

int bio_read_bytes(int portId, int count, void* buffer) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return -BIO_NO_PORT;
    }
    if (count <= 0) {
        return 0;
    }
    // A byte given back by a look ahead comes first, before the device's.
    unsigned char* bytes = static_cast<unsigned char*>(buffer);
    int given = 0;
    if (slot->hasHeldByte) {
        bytes[given++] = slot->heldByte;
        slot->hasHeldByte = false;
    }
    DWORD read = 0;
    if (given < count &&
        !ReadFile(slot->handle, bytes + given, static_cast<DWORD>(count - given), &read, nullptr)) {
        bio_update_status(portId);
        // The given-back byte is delivered; the failure shows again on the next read.
        return given > 0 ? given : -BIO_IO_FAILED;
    }
    return given + static_cast<int>(read);
}

int bio_read_char(int portId) {
    unsigned char byte = 0;
    int result = bio_read_bytes(portId, 1, &byte);
    return result == 1 ? byte : result;
}

int bio_read_line(int portId, int size, char* buffer) {
    if (size >= 1 && buffer != nullptr) {
        buffer[0] = 0;
    }
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return -BIO_NO_PORT;
    }
    // A line needs room for one byte and the terminating zero.
    if (size < 2 || buffer == nullptr) {
        return 0;
    }
    int result = ReadFirstByte(portId, slot, buffer);
    if (result != 1) {
        buffer[0] = 0;
        return result;
    }
    int stored = 1;
    if (size - 1 <= 1) {
        buffer[1] = 0;
        return 1;
    }
    while (stored < size - 1 && bio_get_inputcount(portId) > 0) {
        if (bio_read_bytes(portId, 1, buffer + stored) != 1) {
            break;
        }
        if (bio_is_terminator(buffer[stored], slot->terminatorSet, slot->terminatorCount)) {
            break;
        }
        stored++;
    }
    buffer[stored] = 0;
    return stored;
}

int bio_is_terminator(int byte, const char* set, int count) {
    signed char value = static_cast<signed char>(byte);
    for (int i = 0; i < count; i++) {
        if (static_cast<signed char>(set[i]) == value) {
            return 1;
        }
    }
    return 0;
}
