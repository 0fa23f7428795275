// The RFID reply as read, then the tag number as upper-case hexadecimal text:
// TagText, declared with what the output composition types (keys/scan_data.h).
#pragma once

#include "keys/scan_data.h"
