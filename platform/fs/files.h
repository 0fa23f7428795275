// The device's file calls over the device file system (<root>/fs, see
// platform/fs/device_root.h for how device paths become host paths).
#pragma once

#include <cstdio>

#include "platform/core/types.h"

using HMODULE = HINSTANCE;

// Deletes a file named by a device path. FALSE with the last error:
// ERROR_FILE_NOT_FOUND when the file, or a folder on its way, is not there;
// ERROR_PATH_NOT_FOUND when something on its way is a file, or the device root
// cannot be prepared; ERROR_ACCESS_DENIED for a folder, a path that climbs out of
// the device file system, a file the user may not delete or a read-only medium;
// ERROR_INVALID_NAME for an empty path, a lone surrogate or a name too long for
// the host; ERROR_SHARING_VIOLATION for a file the host keeps busy (a mount
// point); ERROR_INVALID_PARAMETER for a null path; ERROR_GEN_FAILURE for any
// other fault of the host.
BOOL DeleteFileW(LPCWSTR path);

// The host path of the running executable (from /proc/self/exe), as wide text;
// for a program file replaced while it runs, the path of the file that
// replaced it.
// The program is this host's only module, so every module handle, null
// included, names it. Copies at most `capacity` - 1 characters and a terminator
// and returns the characters copied; when the path is longer, the result is
// `capacity` with the path cut short and the last error ERROR_INSUFFICIENT_BUFFER.
// 0 with the last error set when the path cannot be found.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD capacity);

// The runtime library's narrow fopen as the device has it: `path` is narrow text
// in the ANSI code page and names a device path. The FILE it returns is the host
// library's, so fwrite, fread and fclose work on it as usual.
//
// It lives in its own namespace so that it does not replace the C library's
// fopen for the rest of the program (tests, tools, the platform itself open host
// paths). Application code that opens device files opts in where it calls it,
// with a using-declaration at block scope, which hides ::fopen there only:
//
//     void WriteStartupFile(const char* path) {
//         using device::fopen;
//         FILE* file = fopen(path, "w+t");
//
// Modes are "r", "w" and "a", each optionally with "+", "t" and "b". Text mode
// ("t") is the same as binary here: nothing is translated, so what is written is
// what the file holds. A file opened with "w" (created or emptied) gets mode
// 0644, readable by all and writable by its owner only, whatever the umask: the
// device file system has no permissions of its own, and other programs (the
// boot launcher) read these files. Null with errno set on failure.
namespace device {
std::FILE* fopen(const char* path, const char* mode);
} // namespace device
