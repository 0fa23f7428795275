// The serial library's result codes, one table for the whole library.
//
// An operation whose normal result is a status returns 0 for success or a code
// below as it stands (bio_close_port gives BIO_NO_PORT, 7); one whose normal
// result is a count, an index or a value returns the code negated, so that it
// cannot be taken for a count (bio_read_bytes gives -BIO_NO_PORT, -7). The same
// failure thus has one name in both conventions. Each operation's header says
// which codes it gives and with which sign.
#pragma once

// The port id names no open port (a negative id, one above 3, an empty entry).
constexpr int BIO_NO_PORT = 7;

// A call on the port's device failed: reading or writing the line settings,
// collecting the line errors, a read or a write, driving a modem line.
constexpr int BIO_IO_FAILED = 36;

// Opening: a port with this number is open already; all four table entries are in
// use; no memory for the slot or its modem profile (the modem layer: for the reply
// window).
constexpr int BIO_ALREADY_OPEN = 2;
constexpr int BIO_TABLE_FULL = 45;
constexpr int BIO_NO_MEMORY = 28;

// Line setup refused a code: parity outside 0..4, data bits outside 0..3, stop
// bits other than 0 or 1, flow-control mode outside 0..15.
constexpr int BIO_BAD_PARITY = 10;
constexpr int BIO_BAD_DATA_BITS = 11;
constexpr int BIO_BAD_STOP_BITS = 12;
constexpr int BIO_BAD_FLOW_CONTROL = 13;

// A write went out only in part: the byte of bio_write_char not within the write
// time-out; the text that bio_wait_response sends.
constexpr int BIO_WRITE_INCOMPLETE = 3;

// The success of bio_write_string, always negated: every byte of the text was
// written. Any count 0 or more from it means the text was cut short.
constexpr int BIO_ALL_WRITTEN = 54;

// A modem profile index out of range or a text too long for its field; an empty
// list of replies to wait for.
constexpr int BIO_BAD_ARGUMENT = 5;

// Why a wait ended (bio_wait_step, bio_wait_ticks): the time ran out; a quit
// message or cancel command ended a port wait. A port closed meanwhile gives
// BIO_NO_PORT; any other non-zero result is the port's hook's own.
constexpr int BIO_WAIT_TIME_UP = 1;
constexpr int BIO_WAIT_CANCELLED = 2;

// A reply wait ended before a reply came (time limit, quit or cancel, hook, port
// closed).
constexpr int BIO_WAIT_ENDED = 53;

// The modem sequences: no "OK" after three attention passes; no "OK" to a command
// after three tries.
constexpr int BIO_NO_ATTENTION = 55;
constexpr int BIO_NO_COMMAND_OK = 56;

// The call result after dialling: "BUSY", "NO DIALTONE", "NO CARRIER"; and no result
// within the call time (the number is that of BIO_IO_FAILED).
constexpr int BIO_LINE_BUSY = 57;
constexpr int BIO_NO_DIALTONE = 58;
constexpr int BIO_NO_CARRIER = 59;
constexpr int BIO_NO_CALL_RESULT = 36;

// bio_read_digits found no digits: no open port, a read failed, or none came in
// the reply time.
constexpr int BIO_NO_DIGITS = 1;

// bio_get_timer's two results as they are returned: a state, not a code.
constexpr int BIO_TIMER_RUNNING = -1;
constexpr int BIO_TIMER_RUN_OUT = 0;
