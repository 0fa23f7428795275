// The RFID reply as read, then the tag number as upper-case hexadecimal text.
#pragma once

constexpr int kTagTextSize = 1024;

extern char TagText[kTagTextSize];
