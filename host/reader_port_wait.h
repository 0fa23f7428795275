// A reader whose port could not be opened because its device is not there, may
// not be opened or is in use by another program is not given up: the device is
// looked for again once a second, and the reader that reading is enabled for is
// started as soon as the device can be had, as an unplugged reader is taken again.
// What is wrong is said once when it starts and again only when it changes;
// while nothing changes the program spends one look a second and nothing else.
#pragma once

namespace host {

// Both readers use the device's first serial port, COM1:.
constexpr int kReaderPortNumber = 1;

// Watches the opens of the reader's port from now on. Call before WinMain.
void WaitForReaderPort();

} // namespace host
