#include "platform/core/errors.h"

#include <cerrno>

namespace platform {

// Choices that are not one-to-one:
// - ENXIO and ENODEV (a device node with no device behind it) are a file that
//   is not there: the port or file cannot be found.
// - ENOTDIR is a path through something that is not a folder, which Win32
//   reports as a path not found. (A serial port's open, whose caller names no
//   folders, reports it as a port not found.)
// - EISDIR and EROFS are refusals, as Win32 refuses to delete a folder or write
//   a read-only medium: access denied. (A folder given as a serial port is no
//   refusal: its open fails before any errno, as not a terminal device.)
// - EBUSY is something another holder keeps, such as a serial port another
//   program has open: a sharing violation.
// - Anything unforeseen (errno 0 included: a failure is never success) is a
//   general failure, not a refusal, so that a fault of the host is not taken
//   for a missing permission.
DWORD Win32ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EBUSY:
        return ERROR_SHARING_VIOLATION;
    case ENAMETOOLONG:
        return ERROR_INVALID_NAME;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENOTTY:
        return ERROR_NOT_SUPPORTED;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_GEN_FAILURE;
    }
}

} // namespace platform
