#include "pseudo_terminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "platform/core/errors.h"
#include "platform/core/fd_io.h"

namespace sim {
namespace {

struct SpeedCode {
    speed_t code;
    unsigned baud;
};

constexpr SpeedCode kSpeeds[] = {
    {B50, 50},         {B75, 75},         {B110, 110},         {B134, 134},
    {B150, 150},       {B200, 200},       {B300, 300},         {B600, 600},
    {B1200, 1200},     {B1800, 1800},     {B2400, 2400},       {B4800, 4800},
    {B9600, 9600},     {B19200, 19200},   {B38400, 38400},     {B57600, 57600},
    {B115200, 115200}, {B230400, 230400}, {B460800, 460800},   {B500000, 500000},
    {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000}, {B2000000, 2000000},
};

unsigned DataBits(tcflag_t cflag) {
    switch (cflag & CSIZE) {
    case CS5:
        return 5;
    case CS6:
        return 6;
    case CS7:
        return 7;
    default:
        return 8;
    }
}

} // namespace

std::chrono::nanoseconds LineSettings::ByteTime() const {
    if (baud == 0) {
        return std::chrono::nanoseconds{0};
    }
    return std::chrono::nanoseconds{1'000'000'000LL * bitsPerByte / baud};
}

unsigned BaudOfSpeedCode(unsigned speedCode) {
    for (const SpeedCode& speed : kSpeeds) {
        if (speed.code == speedCode) {
            return speed.baud;
        }
    }
    return 0;
}

bool PseudoTerminal::Open(std::string& error) {
    master_.Reset(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master_.Valid()) {
        error = platform::SystemError("cannot create a pseudo-terminal");
        return false;
    }
    if (grantpt(master_.Get()) != 0 || unlockpt(master_.Get()) != 0) {
        error = platform::SystemError("cannot unlock the pseudo-terminal");
        return false;
    }
    char name[128];
    if (ptsname_r(master_.Get(), name, sizeof name) != 0) {
        error = platform::SystemError("cannot name the pseudo-terminal");
        return false;
    }
    slavePath_ = name;
    slave_.Reset(open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave_.Valid()) {
        error = platform::SystemError("cannot open " + slavePath_);
        return false;
    }
    // Raw and without echo until the program sets the line up, so that nothing the
    // simulator sends comes back to it or is changed on the way.
    termios settings{};
    tcgetattr(slave_.Get(), &settings);
    cfmakeraw(&settings);
    tcsetattr(slave_.Get(), TCSANOW, &settings);
    return true;
}

LineSettings PseudoTerminal::ReadSettings() const {
    LineSettings line;
    termios settings{};
    if (tcgetattr(slave_.Get(), &settings) != 0) {
        line.baud = 0;
        return line;
    }
    line.baud = BaudOfSpeedCode(cfgetospeed(&settings));
    unsigned parity = (settings.c_cflag & PARENB) != 0 ? 1 : 0;
    unsigned stop = (settings.c_cflag & CSTOPB) != 0 ? 2 : 1;
    line.bitsPerByte = 1 + DataBits(settings.c_cflag) + parity + stop;
    return line;
}

int PseudoTerminal::Unread() const {
    int waiting = 0;
    if (ioctl(slave_.Get(), FIONREAD, &waiting) != 0) {
        return 0;
    }
    return waiting;
}

bool PseudoTerminal::WritePaced(std::string_view bytes, const LineSettings& line,
                                std::chrono::steady_clock::time_point& lastByte,
                                std::string& error) {
    // A byte is there when its last bit is: each one is written a byte time after
    // the one before. Deadlines are absolute, so the pace does not drift with the
    // cost of each write.
    auto next = std::chrono::steady_clock::now() + line.ByteTime();
    for (char byte : bytes) {
        std::this_thread::sleep_until(next);
        if (!platform::WriteAll(master_.Get(), std::string_view(&byte, 1))) {
            error = platform::SystemError("cannot write to the line");
            return false;
        }
        lastByte = std::chrono::steady_clock::now();
        next += line.ByteTime();
    }
    return true;
}

} // namespace sim
