// Byte transfer and line status on an open port of the port table: write a
// block, a string or one byte; read a block, one byte or a line; test and drive
// the modem lines. Transfers are synchronous and bounded by the time-outs that
// bio_open_port set: a read returns after about 1 ms with what has arrived, a
// write stops after 5 ms per byte. Data are narrow bytes.
#pragma once

#include "bio/bio_results.h"

// Writes `count` bytes. Returns the count written (less than `count` when the
// write time-out ran out; 0 at once while the port's device is gone; 0 for a
// count of 0 or below, without a platform call),
// -BIO_NO_PORT, -BIO_IO_FAILED the write failed (line errors then recorded).
int bio_write_bytes(int portId, int count, const void* data);

// Writes a zero-terminated text. -BIO_ALL_WRITTEN when every byte was written
// (also for the empty text); else what bio_write_bytes returned: a shorter count,
// -BIO_NO_PORT, -BIO_IO_FAILED.
int bio_write_string(int portId, const char* text);

// Writes the low 8 bits of `byte`. 0 written; BIO_WRITE_INCOMPLETE not written
// within the time-out; BIO_NO_PORT; BIO_IO_FAILED the write failed.
int bio_write_char(int portId, int byte);

// Reads up to `count` bytes into `buffer`. Returns the count read (0 when nothing
// came within the read time-out, or for a count of 0 or below), -BIO_NO_PORT,
// -BIO_IO_FAILED.
int bio_read_bytes(int portId, int count, void* buffer);

// One byte as 0..255; 0 also when nothing came; -BIO_NO_PORT; -BIO_IO_FAILED.
int bio_read_char(int portId);

// Reads one line into `buffer` of `size` bytes. Leading terminators are dropped;
// the line ends at a terminator (consumed, not stored), when size - 1 bytes are
// stored, or as soon as nothing more is waiting, so a line whose tail has not
// arrived comes in parts. Returns the bytes stored (1 or more) with the buffer
// zero-terminated; 0 when nothing came within the port's read time-out (the call
// never waits longer for a first byte); -BIO_NO_PORT; -BIO_IO_FAILED a read failed
// (or, with nothing read, the count of waiting bytes could not be had). A size
// below 2 stores at most the terminating zero and returns 0.
int bio_read_line(int portId, int size, char* buffer);

// 1 when `byte` equals one of the first `count` bytes of `set` (as signed 8-bit
// values), else 0; a count of 0 or less matches nothing.
int bio_is_terminator(int byte, const char* set, int count);

// 1 when the input line is on, else 0 (also for no open port or a failed read).
int bio_get_carrier(int portId);
int bio_get_cts(int portId);
int bio_get_dsr(int portId);
int bio_get_ring(int portId);

// Raise or drop DTR and RTS: 0, BIO_IO_FAILED the call failed, BIO_NO_PORT.
int bio_set_dtr(int portId);
int bio_clear_dtr(int portId);
int bio_set_rts(int portId);
int bio_clear_rts(int portId);
