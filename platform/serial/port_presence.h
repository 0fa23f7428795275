// Whether a serial port is in use and its device there, for a program's
// status: Off when no port COMn: is open, Open when it is open and its device
// is there, Waiting when it is open and waits for its device to come back.
#pragma once

enum class PortPresence { Off, Open, Waiting };

PortPresence ComPortPresence(int number);
