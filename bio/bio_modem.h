// The Hayes AT-command layer over an open port, driven by the port's modem profile
// (bio_profile.h): a reply matcher that sends a text and then watches the incoming
// bytes for any of several replies within a time limit, and the sequences built on
// it: send a command and expect "OK", get the modem's attention, initialise, dial
// by tone or pulse, hang up, and wait for the call result with its speeds.
//
// Times are in timer units (bio_timer.h). Every wait serves the thread's message
// queue (bio_wait.h): message handlers run in the middle of a sequence, and a quit
// message or cancel command taken from the queue ends the reply wait that is
// running, which the sequences take as a missing reply. Each sequence leaves the
// port's timeout setting as it found it. Write errors inside the sequences are not
// examined: a command that did not go out simply gets no "OK".
#pragma once

#include "bio/bio_results.h"

// Integer parameters of the profile that the sequences use.
constexpr int MODEM_VALUE_DIAL_TIMEOUT = 0;   // timeout setting while dialling; pause is twice it
constexpr int MODEM_VALUE_ESCAPE_TIMEOUT = 1; // timeout setting while the escape is sent
constexpr int MODEM_VALUE_REPLY_TIME = 2;     // limit for a command reply
constexpr int MODEM_VALUE_CALL_TIME = 3;      // limit for the call result after dialling
constexpr int MODEM_VALUE_DTR_TIME = 6;       // DTR low, then high, in the attention sequence

// String fields of the profile that the sequences use.
constexpr int MODEM_STRING_PREFIX = 0;
constexpr int MODEM_STRING_INIT = 1;
constexpr int MODEM_STRING_TONE_DIAL = 2;
constexpr int MODEM_STRING_PULSE_DIAL = 3;
constexpr int MODEM_STRING_ESCAPE = 5;
constexpr int MODEM_STRING_HANGUP = 6;
constexpr int MODEM_STRING_END_OF_COMMAND = 7;
constexpr int MODEM_STRING_OK = 8;
constexpr int MODEM_STRING_CONNECT = 10;
constexpr int MODEM_STRING_NO_CARRIER = 11;
constexpr int MODEM_STRING_BUSY = 12;
constexpr int MODEM_STRING_NO_DIALTONE = 13;
constexpr int MODEM_STRING_RESULT_CODES = 14;
constexpr int MODEM_STRING_CARRIER = 16;

// Sends `text` (null counts as empty), then reads the port byte by byte until the
// tail of the incoming stream equals one of `replies` (a null-terminated array),
// compared in list order after every byte. Returns the index of that reply, or:
//   -BIO_BAD_ARGUMENT      the list is empty, or all its replies are empty (nothing
//                          is written);
//   -BIO_NO_PORT           the port id names no open port;
//   -BIO_WRITE_INCOMPLETE  the text was only partly written; another negative
//                          code: the write failed;
//   -BIO_NO_MEMORY         no memory for the reply window;
//   -BIO_WAIT_ENDED        the wait ended first: the time limit ran out while no
//                          byte was waiting, a quit message or cancel command was
//                          taken, the hook ended it, or the port was closed.
// Bytes that keep arriving keep the wait going; the time limit is consulted while
// none is waiting. An empty reply beside a non-empty one matches at the first byte.
int bio_wait_response(int portId, int timeLimit, const char* text, const char* const* replies);

// bio_wait_response with the single reply `reply`: 0 when it came, else the
// negative result.
int bio_wait_string(int portId, int timeLimit, const char* text, const char* reply);

// Sends the prefix, `command` and the end of command, expecting "OK" within the
// reply time; three tries, each after purging both queues. 0; BIO_NO_COMMAND_OK
// no "OK" after three tries; BIO_NO_PORT (also when the port is closed between
// tries).
int bio_send_command(int portId, const char* command);

// Gets the modem's attention, up to three passes of: DTR low then high, the bare
// prefix, the escape sequence, the result-code command; the first "OK" ends it.
// 0; BIO_NO_ATTENTION no "OK" after three passes; BIO_NO_PORT.
int bio_reset_modem(int portId);

// The attention sequence, then the initialisation command: 0; BIO_NO_ATTENTION;
// BIO_NO_COMMAND_OK; BIO_NO_PORT.
int bio_init_modem(int portId);

// The attention sequence, then the hang-up command: 0; BIO_NO_ATTENTION;
// BIO_NO_COMMAND_OK; BIO_NO_PORT.
int bio_hangup_modem(int portId);

// The attention sequence, a pause of twice the dial timeout, then the prefix, the
// tone-dial command (toneDial non-zero) or the pulse-dial command, `number` and the
// end of command. No reply is awaited: follow with bio_wait_connect. 0;
// BIO_NO_ATTENTION; BIO_NO_PORT.
int bio_dial_number(int portId, int toneDial, const char* number);

// Waits for the call result after dialling. Both speeds start at the port's baud
// rate; "CARRIER n" and "CONNECT n" set both to n (a message without a speed on
// its line leaves them). After a carrier report, a CONNECT that follows within
// the reply time sets the connect speed (a second CARRIER the carrier speed).
// Each message's line is read through its end (CR LF) and no further: after
// CONNECT the port holds what the far end sent next, for the caller. Results: 0 connected;
// BIO_LINE_BUSY; BIO_NO_DIALTONE; BIO_NO_CARRIER (never taken for a carrier
// report), also when it follows a carrier report within the reply time;
// BIO_NO_CALL_RESULT none within the call time, or the wait failed; BIO_NO_PORT.
int bio_wait_connect(int portId);

// Reads a decimal number: drops bytes up to the first digit, then stores digits
// until a non-digit byte (consumed and dropped), until size - 1 are stored, or
// until the reply time since the call has passed. With a size of 1 the first
// digit is dropped and the buffer holds the empty text. 0; -BIO_NO_DIGITS no open
// port, a read failed, or no digit came within the reply time (the buffer is then
// left as it was).
int bio_read_digits(int portId, int size, char* buffer);
