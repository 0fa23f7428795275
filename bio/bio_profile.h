// The modem profile: each open port's own copy of the eight integer parameters and
// 26 command and reply strings with which the modem command layer talks to a
// Hayes-compatible modem. A profile is a fixed 300-byte record: the integers
// first (four bytes each, least significant byte first), then the strings back
// to back, each zero-terminated in a field of fixed capacity. Fields are found
// only through the size/position and capacity/position tables in
// bio_profile.cpp. The port owns its profile: bio_open_port copies the template
// into a new one and bio_close_port frees it.
#pragma once

#include "bio/bio_results.h"

constexpr int MODEM_PROFILE_SIZE = 300;
constexpr int MODEM_VALUE_COUNT = 8;
constexpr int MODEM_STRING_COUNT = 26;

struct ModemProfile {
    unsigned char bytes[MODEM_PROFILE_SIZE];
};
static_assert(sizeof(ModemProfile) == MODEM_PROFILE_SIZE, "a profile is its bytes, no padding");

// The values every port starts with: "AT" prefix, "V1Q0" initialisation, tone
// dialling "DT", "\r" after each command, the usual replies, and the times
// 55, 110, 55, 30000, 55, 55, 110, 555 in timer units.
extern const ModemProfile ModemProfileTemplate;

// The string field `index` (0..25) of the port's profile, which the caller may
// read (and, within its capacity, change) until the port is closed; null when
// the port id names no open port or the index is out of range.
char* bio_get_modemstring(int portId, int index);

// Copies `text` into string field `index`. 0; BIO_NO_PORT; BIO_BAD_ARGUMENT when
// the index is not 0..25 or the text (without its terminator) does not fit the
// field's capacity less one. A refused change leaves the field as it was.
int bio_set_modemstring(int portId, int index, const char* text);

// Integer parameter `index` (0..7); BIO_NO_PORT (positive); -BIO_BAD_ARGUMENT
// index out of range.
int bio_get_modemvalue(int portId, int index);

// Stores integer parameter `index`. 0; BIO_NO_PORT; BIO_BAD_ARGUMENT index out of
// range.
int bio_set_modemvalue(int portId, int index, int value);
