// The modem-control lines: testing carrier detect, CTS, DSR and ring, and
// raising and dropping DTR and RTS.
#include "bio/bio_port.h"
#include "bio/bio_transfer.h"

namespace {

// 1 only when the port exists, the platform reports success with exactly 1 and
// the line's bit is set; anything else reads as a line that is off.
int TestModemLine(int portId, DWORD line) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return 0;
    }
    DWORD modemStatus = 0;
    if (GetCommModemStatus(slot->handle, &modemStatus) != 1) {
        return 0;
    }
    return (modemStatus & line) != 0 ? 1 : 0;
}

int DriveModemLine(int portId, DWORD function) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return BIO_NO_PORT;
    }
    return EscapeCommFunction(slot->handle, function) ? 0 : BIO_IO_FAILED;
}

} // namespace

int bio_get_carrier(int portId) {
    return TestModemLine(portId, MS_RLSD_ON);
}

int bio_get_cts(int portId) {
    return TestModemLine(portId, MS_CTS_ON);
}

int bio_get_dsr(int portId) {
    return TestModemLine(portId, MS_DSR_ON);
}

int bio_get_ring(int portId) {
    return TestModemLine(portId, MS_RING_ON);
}

int bio_set_dtr(int portId) {
    return DriveModemLine(portId, SETDTR);
}

int bio_clear_dtr(int portId) {
    return DriveModemLine(portId, CLRDTR);
}

int bio_set_rts(int portId) {
    return DriveModemLine(portId, SETRTS);
}

int bio_clear_rts(int portId) {
    return DriveModemLine(portId, CLRRTS);
}
