// Line status: the status word of accumulated line errors, the count of bytes
// waiting, and purging.
#include <climits>
#include <cstdint>

#include "bio/bio_port.h"

int bio_update_status(int portId) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return BIO_NO_PORT;
    }
    DWORD errors = 0;
    if (!ClearCommError(slot->handle, &errors, &slot->lineStatus)) {
        return BIO_IO_FAILED;
    }
    if (errors & CE_BREAK) {
        slot->statusWord |= BIO_STATUS_BREAK;
    }
    if (errors & CE_FRAME) {
        slot->statusWord |= BIO_STATUS_FRAMING;
    }
    if (errors & CE_OVERRUN) {
        slot->statusWord |= BIO_STATUS_OVERRUN;
    }
    if (errors & CE_RXPARITY) {
        slot->statusWord |= BIO_STATUS_PARITY;
    }
    if (errors & CE_RXOVER) {
        PurgeComm(slot->handle, PURGE_RXCLEAR);
        // The count just read includes the bytes the purge threw away; left as
        // it was, bio_get_inputcount would announce bytes that no read can get.
        slot->lineStatus.cbInQue = 0;
        slot->statusWord |= BIO_STATUS_RXOVERFLOW;
    }
    return 0;
}

int bio_purge_input(int portId) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return BIO_NO_PORT;
    }
    PurgeComm(slot->handle, PURGE_RXABORT | PURGE_RXCLEAR);
    slot->hasHeldByte = false;
    return 0;
}

int bio_purge_output(int portId) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return BIO_NO_PORT;
    }
    PurgeComm(slot->handle, PURGE_TXABORT | PURGE_TXCLEAR);
    return 0;
}

int bio_get_inputcount(int portId) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return BIO_NO_PORT;
    }
    int status = bio_update_status(portId);
    if (status != 0) {
        return -status;
    }
    // The queue count is 32-bit unsigned; a result must stay a non-negative int.
    std::uint64_t waiting = std::uint64_t{slot->lineStatus.cbInQue} + (slot->hasHeldByte ? 1 : 0);
    return waiting > INT_MAX ? INT_MAX : static_cast<int>(waiting);
}
