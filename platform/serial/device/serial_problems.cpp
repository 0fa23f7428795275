#include "platform/serial/device/serial_problems.h"

#include <cerrno>
#include <cstring>

namespace platform {

std::string CannotOpenNotice(const std::string& port, const std::string& path, int error) {
    std::string start = "Cannot open " + path + ": ";
    std::string naming = "name the reader's port with --port " + port + ":=PATH.";
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return start + "no such device. Plug in the reader, or " + naming;
    case EACCES:
    case EPERM:
        return start + "permission denied. Add your user to the dialout group and log in again.";
    case EBUSY:
        return start + "it is in use by another program. Close that program, or " + naming;
    case ENOTTY:
        return start + "it is not a serial device. Check the path, or " + naming;
    default:
        return start + std::strerror(error) + ". Check the device and its cable.";
    }
}

std::string CannotSetUpNotice(const std::string& path, int error) {
    return "Cannot set up " + path + " for the reader: " + std::strerror(error) +
           ". Check that it is the serial port the reader is on.";
}

std::string GoneNotice(const std::string& path) {
    return "The reader at " + path +
           " was disconnected. Plug it in again; reading resumes by itself.";
}

} // namespace platform
