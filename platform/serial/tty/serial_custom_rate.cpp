#include "platform/serial/tty/serial_custom_rate.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>

// <sys/ioctl.h> would bring glibc's termios declarations, which clash with the
// kernel's termbits above; the one declaration needed is repeated here.
extern "C" int ioctl(int fd, unsigned long request, ...);

namespace platform {

int SetCustomRate(int fd, DWORD rate) {
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0) {
        return errno;
    }
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = rate;
    settings.c_ospeed = rate;
    if (ioctl(fd, TCSETS2, &settings) != 0) {
        return errno;
    }
    return 0;
}

std::optional<DWORD> ReadCustomRate(int fd) {
    std::optional<LineRates> rates = ReadLineRates(fd);
    return rates ? std::optional<DWORD>(rates->output) : std::nullopt;
}

std::optional<LineRates> ReadLineRates(int fd) {
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0) {
        return std::nullopt;
    }
    return LineRates{static_cast<DWORD>(settings.c_ispeed), static_cast<DWORD>(settings.c_ospeed)};
}

bool HasCustomRate(int fd) {
    termios2 settings{};
    return ioctl(fd, TCGETS2, &settings) == 0 && (settings.c_cflag & CBAUD) == BOTHER;
}

} // namespace platform
