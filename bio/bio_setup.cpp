// Line setup: rate, parity, data bits, stop bits and the sixteen flow-control
// modes, written into the port's DCB.
#include "bio/bio_port.h"

namespace {

// One row per flow-control mode: RTS control, DTR control, input XON/XOFF, CTS
// output flow, DSR output flow, output XON/XOFF. Control values: 1 enable,
// 2 handshake. Mode 4 is no flow control with DTR and RTS raised.
enum FlowColumn { RtsControl, DtrControl, InX, OutxCtsFlow, OutxDsrFlow, OutX };

const int FlowControlTable[16][6] = {
    {2, 1, 0, 1, 0, 0}, // mode 0
    {2, 1, 0, 0, 0, 1}, // mode 1
    {2, 1, 0, 0, 1, 0}, // mode 2
    {2, 1, 0, 0, 0, 0}, // mode 3
    {1, 1, 0, 0, 0, 0}, // mode 4
    {1, 1, 0, 0, 0, 1}, // mode 5
    {1, 1, 1, 0, 0, 0}, // mode 6
    {1, 1, 1, 0, 0, 1}, // mode 7
    {1, 2, 0, 0, 0, 0}, // mode 8
    {1, 2, 0, 1, 0, 0}, // mode 9
    {1, 2, 0, 0, 1, 0}, // mode 10
    {1, 2, 0, 0, 0, 1}, // mode 11
    {1, 1, 0, 1, 0, 0}, // mode 12
    {1, 1, 0, 0, 1, 0}, // mode 13
    {1, 1, 1, 1, 0, 0}, // mode 14
    {1, 1, 1, 0, 1, 0}, // mode 15
};

// The four flow flags, replaced by the low bits of the mode's row.
void SetFlowFlags(DCB& dcb, const int row[6]) {
    dcb.fOutxCtsFlow = row[OutxCtsFlow] & 1;
    dcb.fOutxDsrFlow = row[OutxDsrFlow] & 1;
    dcb.fOutX = row[OutX] & 1;
    dcb.fInX = row[InX] & 1;
}

// DTR and RTS control: the option bits may turn both off, keep them as the
// port reports them, or toggle RTS; otherwise the mode's row decides.
void SetLineControl(DCB& dcb, const int row[6], int options) {
    if (options & BIO_OPTION_LINES_OFF) {
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
    } else if (options & BIO_OPTION_LINES_KEEP) {
        // Both stay as GetCommState reported them.
    } else if (options & BIO_OPTION_RTS_TOGGLE) {
        dcb.fDtrControl = row[DtrControl] & 3;
        dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    } else {
        dcb.fDtrControl = row[DtrControl] & 3;
        dcb.fRtsControl = row[RtsControl] & 3;
    }
}

// The fields every setup forces, whatever the port had before.
void SetFixedFlags(DCB& dcb) {
    dcb.fBinary = 1;
    dcb.fTXContinueOnXoff = 1;
    dcb.fAbortOnError = 1;
    dcb.fDsrSensitivity = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
}

// The line-setting codes a setup accepts: 0, or the code of the first value
// refused (BIO_BAD_PARITY, BIO_BAD_DATA_BITS, BIO_BAD_STOP_BITS or
// BIO_BAD_FLOW_CONTROL).
int CheckLineCodes(int parity, int dataBits, int stopBits, int flowControl) {
    if (parity < 0 || parity > 4) {
        return BIO_BAD_PARITY;
    }
    if (dataBits < 0 || dataBits > 3) {
        return BIO_BAD_DATA_BITS;
    }
    if (stopBits != 0 && stopBits != 1) {
        return BIO_BAD_STOP_BITS;
    }
    if (flowControl < 0 || flowControl > 15) {
        return BIO_BAD_FLOW_CONTROL;
    }
    return 0;
}

// Only a setup the port took is recorded: a refused one must not leave values
// behind that bio_set_baudrate would then apply again and again.
void RecordSetup(PortSlot* slot, int baudRate, int parity, int dataBits, int stopBits,
                 int flowControl, int options) {
    slot->baudRate = static_cast<unsigned int>(baudRate);
    slot->parityCode = parity;
    slot->dataBitsCode = dataBits;
    slot->stopBitsCode = stopBits;
    slot->flowControlMode = flowControl;
    slot->optionBits = static_cast<unsigned int>(options);
}

} // namespace

int bio_setup_port(int portId, int baudRate, int parity, int dataBits, int stopBits,
                   int flowControl, int options) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return BIO_NO_PORT;
    }
    DCB dcb;
    if (!GetCommState(slot->handle, &dcb)) {
        return BIO_IO_FAILED;
    }
    int refused = CheckLineCodes(parity, dataBits, stopBits, flowControl);
    if (refused != 0) {
        return refused;
    }
    dcb.BaudRate = static_cast<DWORD>(baudRate);
    dcb.fParity = 1;
    dcb.Parity = static_cast<BYTE>(parity);
    dcb.ByteSize = static_cast<BYTE>(5 + dataBits);
    dcb.StopBits = stopBits == 0 ? ONESTOPBIT : TWOSTOPBITS;
    SetFlowFlags(dcb, FlowControlTable[flowControl]);
    SetLineControl(dcb, FlowControlTable[flowControl], options);
    SetFixedFlags(dcb);

    if (SetCommState(slot->handle, &dcb) != 1) {
        return BIO_IO_FAILED;
    }
    RecordSetup(slot, baudRate, parity, dataBits, stopBits, flowControl, options);
    slot->currentLineSettings = dcb;
    return 0;
}

int bio_set_baudrate(int portId, int baudRate) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return BIO_NO_PORT;
    }
    return bio_setup_port(portId, baudRate, slot->parityCode, slot->dataBitsCode,
                          slot->stopBitsCode, slot->flowControlMode,
                          static_cast<int>(slot->optionBits));
}
