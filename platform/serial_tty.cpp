#include "platform/serial_tty.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <optional>
#include <poll.h>
#include <set>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "platform/comm.h"
#include "platform/serial_custom_rate.h"
#include "platform/serial_termios.h"

namespace platform {
namespace {

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EBUSY:
        return ERROR_SHARING_VIOLATION;
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

// Devices open in this program. TIOCEXCL keeps other programs out, but not one
// with CAP_SYS_ADMIN, and not this program's own second open of the same tty.
std::set<dev_t>& DevicesInUse() {
    static std::set<dev_t> devices;
    return devices;
}

int OpenFlags(DWORD access) {
    bool reading = (access & GENERIC_READ) != 0;
    bool writing = (access & GENERIC_WRITE) != 0;
    int flags = O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    if (reading && writing) {
        return flags | O_RDWR;
    }
    return flags | (writing ? O_WRONLY : O_RDONLY);
}

DWORD ErrorBits(const serial_icounter_struct& now, const serial_icounter_struct& before) {
    DWORD errors = 0;
    errors |= now.buf_overrun != before.buf_overrun ? CE_RXOVER : 0;
    errors |= now.overrun != before.overrun ? CE_OVERRUN : 0;
    errors |= now.parity != before.parity ? CE_RXPARITY : 0;
    errors |= now.frame != before.frame ? CE_FRAME : 0;
    errors |= now.brk != before.brk ? CE_BREAK : 0;
    return errors;
}

class TtyDevice final : public SerialDevice {
  public:
    TtyDevice(int fd, dev_t device, std::string path) : fd_(fd), device_(device), path_(path) {}
    ~TtyDevice() override { Close(); }

    DWORD Prepare(std::string& reason);

    std::string Name() const override { return path_; }
    DWORD ReadSettings(DCB& dcb) override;
    DWORD ApplySettings(const DCB& dcb) override;
    DWORD Read(BYTE* buffer, std::size_t capacity, std::size_t& moved) override;
    DWORD Write(const BYTE* data, std::size_t count, std::size_t& moved) override;
    DWORD Wait(WaitFor what, CommTime limit) override;
    CommTime Now() override;
    // Whether input waits is for poll() on the descriptor to say.
    InputWatch WatchInput() override { return {false, fd_, std::nullopt}; }
    DWORD InputCount(DWORD& input) override;
    DWORD OutputCount(DWORD& output) override;
    DWORD TakeErrors(DWORD& errors) override;
    DWORD Purge(bool input, bool output) override;
    bool HasModemLines() override { return hasModemLines_; }
    DWORD ReadModemLines(DWORD& modemStatus) override;
    DWORD SetOutputLine(OutputLine line, bool on) override;
    DWORD SetBreak(bool on) override;
    DWORD SuspendOutput(bool suspend) override;
    DWORD Close() override;

  private:
    DWORD ApplyRate(DWORD rate, const termios& previous);
    void DrainOutput();

    int fd_;
    dev_t device_;
    std::string path_;
    bool exclusive_ = false;
    bool hasOriginal_ = false;
    termios original_{};
    std::optional<DWORD> originalCustomRate_;
    bool hasModemLines_ = false;
    bool hasErrorCounters_ = false;
    serial_icounter_struct counters_{};
    // Set by a write, cleared once the driver reports its transmit queue empty:
    // while clear the queue is known to be empty without asking the driver.
    bool outputMayWait_ = false;
};

// Takes the tty for this program, remembers its settings and makes it raw.
DWORD TtyDevice::Prepare(std::string& reason) {
    exclusive_ = ioctl(fd_, TIOCEXCL) == 0;
    hasOriginal_ = exclusive_ && tcgetattr(fd_, &original_) == 0;
    if (!hasOriginal_) {
        reason = std::strerror(errno);
        return ErrorFromErrno(errno);
    }
    DevicesInUse().insert(device_);
    if (HasCustomRate(fd_)) {
        originalCustomRate_ = ReadCustomRate(fd_);
    }
    int lines = 0;
    hasModemLines_ = ioctl(fd_, TIOCMGET, &lines) == 0;
    hasErrorCounters_ = ioctl(fd_, TIOCGICOUNT, &counters_) == 0;
    termios raw = original_;
    MakeRaw(raw);
    if (tcsetattr(fd_, TCSANOW, &raw) != 0) {
        reason = std::strerror(errno);
        return ErrorFromErrno(errno);
    }
    return ERROR_SUCCESS;
}

DWORD TtyDevice::ReadSettings(DCB& dcb) {
    termios settings{};
    if (tcgetattr(fd_, &settings) != 0) {
        return ErrorFromErrno(errno);
    }
    ReadLineSettings(settings, dcb);
    std::optional<DWORD> rate = RateForSpeedCode(cfgetospeed(&settings));
    dcb.BaudRate = rate ? *rate : ReadCustomRate(fd_).value_or(0);
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (hasModemLines_ && ioctl(fd_, TIOCMGET, &lines) != 0) {
        return ErrorFromErrno(errno);
    }
    dcb.fDtrControl = (lines & TIOCM_DTR) != 0 ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    if (dcb.fOutxCtsFlow != 0) {
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    } else {
        dcb.fRtsControl = (lines & TIOCM_RTS) != 0 ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    }
    return ERROR_SUCCESS;
}

DWORD TtyDevice::ApplySettings(const DCB& dcb) {
    termios previous{};
    if (tcgetattr(fd_, &previous) != 0) {
        return ErrorFromErrno(errno);
    }
    termios settings = previous;
    MakeRaw(settings);
    WriteLineSettings(dcb, settings);
    std::optional<speed_t> code = SpeedCodeForRate(dcb.BaudRate);
    if (code) {
        cfsetispeed(&settings, *code);
        cfsetospeed(&settings, *code);
        // glibc's cfsetispeed leaves the kernel's own input-rate field alone: after
        // a rate set by number it still says "by number", and the input would keep
        // that old rate. Cleared, it means "as the output".
        settings.c_cflag &= ~CIBAUD;
    }
    if (tcsetattr(fd_, TCSANOW, &settings) != 0) {
        return ErrorFromErrno(errno);
    }
    return code ? ERROR_SUCCESS : ApplyRate(dcb.BaudRate, previous);
}

// A rate without a standard code, set by number. A driver that refuses it leaves
// the tty as it was before the whole change.
DWORD TtyDevice::ApplyRate(DWORD rate, const termios& previous) {
    int error = SetCustomRate(fd_, rate);
    if (error == 0) {
        return ERROR_SUCCESS;
    }
    std::optional<DWORD> previousRate = ReadCustomRate(fd_);
    tcsetattr(fd_, TCSANOW, &previous);
    if (previousRate && !RateForSpeedCode(cfgetospeed(&previous))) {
        SetCustomRate(fd_, *previousRate);
    }
    return error == ENOTTY ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER;
}

DWORD TtyDevice::Read(BYTE* buffer, std::size_t capacity, std::size_t& moved) {
    moved = 0;
    ssize_t count = ::read(fd_, buffer, capacity);
    if (count > 0) {
        moved = static_cast<std::size_t>(count);
        return ERROR_SUCCESS;
    }
    if (count == 0 || errno == EAGAIN || errno == EINTR) {
        return ERROR_SUCCESS;
    }
    return errno == EBADF ? ERROR_ACCESS_DENIED : ERROR_READ_FAULT;
}

DWORD TtyDevice::Write(const BYTE* data, std::size_t count, std::size_t& moved) {
    moved = 0;
    ssize_t written = ::write(fd_, data, count);
    if (written > 0) {
        moved = static_cast<std::size_t>(written);
        outputMayWait_ = true;
        return ERROR_SUCCESS;
    }
    if (written == 0 || errno == EAGAIN || errno == EINTR) {
        return ERROR_SUCCESS;
    }
    return errno == EBADF ? ERROR_ACCESS_DENIED : ERROR_WRITE_FAULT;
}

DWORD TtyDevice::Wait(WaitFor what, CommTime limit) {
    pollfd entry{fd_, static_cast<short>(what == WaitFor::Input ? POLLIN : POLLOUT), 0};
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit);
    auto rest = std::chrono::duration_cast<std::chrono::nanoseconds>(limit - seconds);
    timespec timeout{static_cast<time_t>(seconds.count()), static_cast<long>(rest.count())};
    int ready = ppoll(&entry, 1, &timeout, nullptr);
    if (ready < 0) {
        return errno == EINTR ? ERROR_SUCCESS : ErrorFromErrno(errno);
    }
    // The far end of a pseudo-terminal was closed, or the device went away: the
    // tty can neither deliver nor take bytes any more.
    if (ready > 0 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        return what == WaitFor::Input ? ERROR_READ_FAULT : ERROR_WRITE_FAULT;
    }
    return ERROR_SUCCESS;
}

CommTime TtyDevice::Now() {
    return std::chrono::duration_cast<CommTime>(
        std::chrono::steady_clock::now().time_since_epoch());
}

DWORD TtyDevice::InputCount(DWORD& input) {
    int waiting = 0;
    if (ioctl(fd_, TIOCINQ, &waiting) != 0) {
        return ErrorFromErrno(errno);
    }
    input = static_cast<DWORD>(waiting);
    return ERROR_SUCCESS;
}

DWORD TtyDevice::OutputCount(DWORD& output) {
    output = 0;
    if (!outputMayWait_) {
        return ERROR_SUCCESS;
    }
    int waiting = 0;
    if (ioctl(fd_, TIOCOUTQ, &waiting) != 0) {
        return ErrorFromErrno(errno);
    }
    output = static_cast<DWORD>(waiting);
    outputMayWait_ = waiting != 0;
    return ERROR_SUCCESS;
}

DWORD TtyDevice::TakeErrors(DWORD& errors) {
    errors = 0;
    if (!hasErrorCounters_) {
        return ERROR_SUCCESS;
    }
    serial_icounter_struct now{};
    if (ioctl(fd_, TIOCGICOUNT, &now) != 0) {
        return ErrorFromErrno(errno);
    }
    errors = ErrorBits(now, counters_);
    counters_ = now;
    return ERROR_SUCCESS;
}

DWORD TtyDevice::Purge(bool input, bool output) {
    if (!input && !output) {
        return ERROR_SUCCESS;
    }
    int queue = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    return tcflush(fd_, queue) == 0 ? ERROR_SUCCESS : ErrorFromErrno(errno);
}

DWORD TtyDevice::ReadModemLines(DWORD& modemStatus) {
    int lines = 0;
    if (!hasModemLines_) {
        return ERROR_NOT_SUPPORTED;
    }
    if (ioctl(fd_, TIOCMGET, &lines) != 0) {
        return ErrorFromErrno(errno);
    }
    modemStatus =
        ((lines & TIOCM_CTS) != 0 ? MS_CTS_ON : 0) | ((lines & TIOCM_DSR) != 0 ? MS_DSR_ON : 0) |
        ((lines & TIOCM_RNG) != 0 ? MS_RING_ON : 0) | ((lines & TIOCM_CAR) != 0 ? MS_RLSD_ON : 0);
    return ERROR_SUCCESS;
}

DWORD TtyDevice::SetOutputLine(OutputLine line, bool on) {
    if (!hasModemLines_) {
        return ERROR_NOT_SUPPORTED;
    }
    int bits = line == OutputLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
    return ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0 ? ERROR_SUCCESS : ErrorFromErrno(errno);
}

DWORD TtyDevice::SetBreak(bool on) {
    // A pseudo-terminal accepts the break requests and does nothing with them.
    if (!hasModemLines_) {
        return ERROR_NOT_SUPPORTED;
    }
    return ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) == 0 ? ERROR_SUCCESS : ErrorFromErrno(errno);
}

DWORD TtyDevice::SuspendOutput(bool suspend) {
    return tcflow(fd_, suspend ? TCOOFF : TCOON) == 0 ? ERROR_SUCCESS : ErrorFromErrno(errno);
}

// Bytes still in the transmit queue would go out at the restored rate; give them
// the time they need at the current one, but never more than two seconds (flow
// control may hold them forever). A pseudo-terminal has no line rate.
void TtyDevice::DrainOutput() {
    DCB dcb{};
    DWORD output = 0;
    if (!hasModemLines_ || OutputCount(output) != ERROR_SUCCESS || output == 0 ||
        ReadSettings(dcb) != ERROR_SUCCESS || dcb.BaudRate == 0) {
        return;
    }
    auto needed = std::chrono::milliseconds(20 + 10000ULL * output / dcb.BaudRate);
    auto deadline =
        std::chrono::steady_clock::now() + std::min(needed, std::chrono::milliseconds(2000));
    while (OutputCount(output) == ERROR_SUCCESS && output != 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

DWORD TtyDevice::Close() {
    if (fd_ < 0) {
        return ERROR_SUCCESS;
    }
    if (hasOriginal_) {
        DrainOutput();
        tcsetattr(fd_, TCSANOW, &original_);
        if (originalCustomRate_) {
            SetCustomRate(fd_, *originalCustomRate_);
        }
        DevicesInUse().erase(device_);
    }
    if (exclusive_) {
        ioctl(fd_, TIOCNXCL);
    }
    int closed = ::close(fd_);
    fd_ = -1;
    return closed == 0 ? ERROR_SUCCESS : ERROR_GEN_FAILURE;
}

} // namespace

std::unique_ptr<SerialDevice> OpenTtyDevice(const std::string& path, DWORD access, DWORD& error,
                                            std::string& reason) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        error = ErrorFromErrno(errno);
        reason = std::strerror(errno);
        return nullptr;
    }
    if (!S_ISCHR(status.st_mode)) {
        error = ERROR_NOT_SUPPORTED;
        reason = "not a terminal device";
        return nullptr;
    }
    if (DevicesInUse().count(status.st_rdev) != 0) {
        error = ERROR_SHARING_VIOLATION;
        reason = "already open in this program";
        return nullptr;
    }
    int fd = ::open(path.c_str(), OpenFlags(access));
    if (fd < 0) {
        error = ErrorFromErrno(errno);
        reason = errno == EBUSY ? "in use by another program" : std::strerror(errno);
        return nullptr;
    }
    if (::isatty(fd) != 1) {
        ::close(fd);
        error = ERROR_NOT_SUPPORTED;
        reason = "not a terminal device";
        return nullptr;
    }
    auto device = std::make_unique<TtyDevice>(fd, status.st_rdev, path);
    error = device->Prepare(reason);
    if (error != ERROR_SUCCESS) {
        return nullptr; // the destructor puts back what was changed and closes
    }
    return device;
}

} // namespace platform
