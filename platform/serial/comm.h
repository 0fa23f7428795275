// Serial communications as the device offers them: a port is opened by its
// device name "COMn:" with CreateFileW and then driven through its handle.
//
// On this host "COMn:" stands for, in this order: the path given with
// platform::SetPortPath (the program's --port COMn:=PATH), the environment
// variable SWIPETYPE_COMn, or /dev/ttyS<n-1>; an in-memory device attached for
// tests (platform/serial/device/memory_serial_device.h) takes precedence over all three. A
// pseudo-terminal works as a port (data and line settings; it has no modem lines).
//
// Every call returns non-zero on success and FALSE with the last error set
// (GetLastError) on failure. What the host cannot do is said once on the debug
// output and reported, never pretended; see each call.
#pragma once

#include "platform/core/handle.h"
#include "platform/core/types.h"
#include "platform/serial/device/comm_types.h"

// Opens "COMn:" (n from 1, optional trailing colon, any letter case). Access is
// GENERIC_READ and/or GENERIC_WRITE; the disposition must be OPEN_EXISTING. The
// port is exclusive while open, whatever the share mode: a second open, from
// this program or another, fails with ERROR_SHARING_VIOLATION. Opening keeps the
// tty's line settings but makes it raw (no echo, no line editing, no character
// translation), as a serial port is; CloseHandle puts back exactly what the tty
// had. Errors: ERROR_FILE_NOT_FOUND (no such port or device, also a device path
// through a file), ERROR_ACCESS_DENIED (the user may not open it),
// ERROR_SHARING_VIOLATION (in use), ERROR_NOT_SUPPORTED (the path is not a
// terminal device: a folder, a regular file), ERROR_INVALID_NAME (a path too
// long for the host), ERROR_INVALID_PARAMETER, ERROR_GEN_FAILURE (any other fault
// of the host, such as an I/O error of the device).
HANDLE CreateFileW(LPCWSTR name, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES security, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);

// Recommends queue sizes. Accepted; the queues are the driver's own size.
BOOL SetupComm(HANDLE port, DWORD inputQueueSize, DWORD outputQueueSize);

// The line settings. Rate, data bits, parity, stop bits, CTS flow and XON/XOFF
// are read from the device, so a setting the device did not take shows as the
// device has it; DTR/RTS control and what the host cannot do (DSR flow and
// sensitivity, RTS toggle, the error character, null stripping) are returned as
// last set.
BOOL GetCommState(HANDLE port, LPDCB dcb);

// Applies line settings: any rate (standard ones with their standard codes), 5 to
// 8 data bits, parity none/odd/even/mark/space, 1 or 2 stop bits (1.5 with 5
// data bits), CTS output flow, XON/XOFF in and out, DTR and RTS control through
// the modem lines. RTS handshake and CTS output flow are one mechanism on this
// host. On a device without modem lines the line settings are applied and the
// DTR/RTS part is skipped. Unavailable features are said once and kept in the DCB.
// ERROR_INVALID_PARAMETER for values outside those ranges.
BOOL SetCommState(HANDLE port, LPDCB dcb);

// Read and write time-outs, with the device's meaning (MAXDWORD interval and
// zero totals: return at once with what is there; zero everywhere: wait for the
// whole count). New ports start with all zero.
BOOL GetCommTimeouts(HANDLE port, LPCOMMTIMEOUTS timeouts);
BOOL SetCommTimeouts(HANDLE port, LPCOMMTIMEOUTS timeouts);

// Reports and clears the line errors seen since the last call (CE_ bits, from the
// driver's error counters where it keeps them) and the bytes waiting in the
// receive and transmit queues. Either pointer may be null. Right after a read
// that left bytes in the port's own buffer, the receive count is those bytes
// alone and no errors are collected: what arrives meanwhile is counted once they
// are read, or at the next call if no read comes first (platform/serial/comm_port.h).
// The count never claims a byte that is not there, and is 0 only when none waits.
BOOL ClearCommError(HANDLE port, LPDWORD errors, LPCOMSTAT status);

// Discards waiting input (PURGE_RXCLEAR) and/or output (PURGE_TXCLEAR); the
// abort flags have nothing to abort, as every transfer is synchronous.
BOOL PurgeComm(HANDLE port, DWORD flags);

// Synchronous transfers bounded by the time-outs; overlapped must be null. The
// count moved is stored even when the time-out cut the transfer short. With
// fAbortOnError set, a transfer fails with ERROR_OPERATION_ABORTED while line
// errors wait to be collected by ClearCommError. While the device of a port is
// gone (unplugged, and looked for again), a read brings nothing after its
// time-out and a write writes nothing at once: both succeed with a count of 0.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD bytesRead, LPVOID overlapped);
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD count, LPDWORD bytesWritten, LPVOID overlapped);

// The input modem lines (MS_ bits). ERROR_NOT_SUPPORTED on a device without modem
// lines (a pseudo-terminal).
BOOL GetCommModemStatus(HANDLE port, LPDWORD modemStatus);

// Drives DTR, RTS and break, or stops and restarts output as an XOFF/XON would.
// ERROR_NOT_SUPPORTED for the line codes on a device without modem lines;
// ERROR_INVALID_PARAMETER for an unknown code.
BOOL EscapeCommFunction(HANDLE port, DWORD function);
