// swipetype --list-ports: the serial devices of this machine, one a line, for a
// person setting up a reader from a shell:
//
//   /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A9B8C7-if00-port0  kernel ttyUSB0,
//       driver ftdi_sio, USB 0403:6001 serial A9B8C7, you may open it, COM1:
//
// (one line in truth): the stable name where udev made one, else the device
// node; the kernel name; the driver; the USB vendor, product and serial number
// where the device sits on USB; whether this user may open it, and if not why;
// and the COMn: that the device root maps to it. The devices are the ones udev
// knows in the tty class that have hardware behind them, then whatever else a
// port is mapped to (a pseudo-terminal, a device that is not there).
#pragma once

#include <cstdio>

namespace host {

// Prints the list on `out`. The exit status: 0, or 1 when libudev cannot be
// loaded (said on standard error).
int ListSerialPorts(std::FILE* out);

} // namespace host
