// The serial port library's port table and line setup. A process-wide table of
// four entries holds the open ports; a port is named by its entry's index, the
// port id 0..3. Opening records the port's settings so that closing puts them
// back; setup sets rate, parity, data bits, stop bits and one of sixteen
// flow-control modes; a status word collects the line errors the port has seen.
//
// Results: operations whose result is a status give 0 for success and a code of
// bio_results.h; those whose result is a count, an index or a value give the code
// negated.
#pragma once

#include "bio/bio_profile.h"
#include "bio/bio_results.h"
#include "platform/serial/comm.h"

constexpr int BIO_PORT_COUNT = 4;

// Status word bits, accumulated from the line errors ClearCommError reports.
constexpr unsigned int BIO_STATUS_BREAK = 0x01;
constexpr unsigned int BIO_STATUS_FRAMING = 0x02;
constexpr unsigned int BIO_STATUS_OVERRUN = 0x04;
constexpr unsigned int BIO_STATUS_PARITY = 0x08;
constexpr unsigned int BIO_STATUS_RXOVERFLOW = 0x10; // the receive queue was cleared

// Option bits of bio_setup_port; they decide DTR and RTS control.
constexpr int BIO_OPTION_LINES_OFF = 0x04;  // both disabled, whatever the mode
constexpr int BIO_OPTION_LINES_KEEP = 0x08; // both left as the port has them
constexpr int BIO_OPTION_RTS_TOGGLE = 0x10; // DTR from the mode, RTS toggle

// Called by a wait on the port with the port id; a non-zero result ends the wait.
using BioWaitHook = int (*)(int portId);

// One open port. bio_open_port allocates it, bio_close_port alone frees it.
struct PortSlot {
    HANDLE handle;                // from CreateFileW
    int portNumber;               // n of "COMn:"; refuses a second open of it
    unsigned int baudRate;        // of the last successful bio_setup_port
    int parityCode;               // of the last successful setup; -1 until the first
    int dataBitsCode;             // of the last successful setup; -1 until the first
    int stopBitsCode;             // of the last successful setup; -1 until the first
    int flowControlMode;          // of the last successful setup; -1 until the first
    unsigned int optionBits;      // of the last successful setup
    DCB savedLineSettings;        // as the port had them at open; put back by close
    COMMTIMEOUTS savedTimeouts;   // as the port had them at open; put back by close
    DCB currentLineSettings;      // read at open, then as the last successful setup wrote them
    COMMTIMEOUTS currentTimeouts; // as set at open
    COMSTAT lineStatus;           // as the last ClearCommError filled it
    unsigned int statusWord;      // BIO_STATUS_ bits; only gains bits while open
    int timeoutSetting;           // only through bio_get_timeout / bio_set_timeout
    BioWaitHook waitHook;         // null at open; copied by each wait on the port
    ModemProfile* modemProfile;   // this port's own copy of the template
    int terminatorCount;          // 3: the first three bytes of the set end a line
    int carrierSpeed;             // set by the connect wait; 0 until then
    int connectSpeed;             // set by the connect wait; 0 until then
    char terminatorSet[12];       // "\r\n" and its zero: CR, LF and the zero byte
    bool hasHeldByte;             // a byte read ahead and given back: the next read's first
    unsigned char heldByte;
};

// Always 1. With reason 1 it empties all four entries without closing anything
// (the table as a freshly loaded library has it).
int bio_init(int ignored, int reason);

// The slot of an open port, or null for any id that names none (including
// negative ids and empty entries).
PortSlot* bio_get_slot(int portId);

// Opens "COM<portNumber>:" with the given queue sizes and time-outs that make a
// read return after about 1 ms and a write of n bytes stop after 5·n ms. Returns
// the port id, or: -BIO_ALREADY_OPEN this port number is open already;
// -BIO_TABLE_FULL; -BIO_NO_PORT the device did not open (also for a negative port
// number or one of more than six digits); -BIO_IO_FAILED a setup call failed;
// -BIO_NO_MEMORY. A failed open leaves no trace. The line parameters are left as
// the port has them.
int bio_open_port(int portNumber, int inputQueueSize, int outputQueueSize);

// Puts back the line settings and time-outs of before the open, closes the device
// and frees the slot and its profile. 0, or BIO_NO_PORT.
int bio_close_port(int portId);

// Sets the line: parity code 0..4 (none, odd, even, mark, space), data-bits code
// 0..3 (5..8 bits), stop-bits code 0 or 1 (one or two), flow-control mode 0..15,
// option bits as above. The values are recorded in the slot once the port took
// them. 0, or BIO_NO_PORT; BIO_BAD_PARITY, BIO_BAD_DATA_BITS, BIO_BAD_STOP_BITS,
// BIO_BAD_FLOW_CONTROL; BIO_IO_FAILED the line settings could not be read or
// written. A failed setup leaves the previous line settings in force, and recorded.
int bio_setup_port(int portId, int baudRate, int parity, int dataBits, int stopBits,
                   int flowControl, int options);

// bio_setup_port with a new rate and the recorded codes. Before any setup the
// codes are unset (-1), so it returns BIO_BAD_PARITY and leaves the line untouched:
// a rate alone does not say what the rest of the line should be. BIO_NO_PORT.
int bio_set_baudrate(int portId, int baudRate);

// Collects the line errors into the status word (clearing the receive queue on an
// overflow). 0, or BIO_NO_PORT, BIO_IO_FAILED ClearCommError failed.
int bio_update_status(int portId);

// Discard what waits to be read / to be sent. 0, or BIO_NO_PORT.
int bio_purge_input(int portId);
int bio_purge_output(int portId);

// Bytes waiting to be read (0 or more), after bio_update_status; -BIO_IO_FAILED
// when that failed; BIO_NO_PORT (positive) when the id names no open port.
int bio_get_inputcount(int portId);

int bio_get_timeout(int portId);            // the timeout setting, or -BIO_NO_PORT
int bio_set_timeout(int portId, int value); // 0, or BIO_NO_PORT
int bio_get_carrierspeed(int portId);       // or -BIO_NO_PORT
int bio_get_connectspeed(int portId);       // or -BIO_NO_PORT
