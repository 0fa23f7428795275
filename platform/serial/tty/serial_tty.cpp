#include "platform/serial/tty/serial_tty.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <optional>
#include <poll.h>
#include <set>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "platform/core/errors.h"
#include "platform/core/system.h"
#include "platform/core/unique_fd.h"
#include "platform/core/user_notice.h"
#include "platform/serial/device/comm_types.h"
#include "platform/serial/device/serial_problems.h"
#include "platform/serial/tty/serial_custom_rate.h"
#include "platform/serial/tty/serial_termios.h"

namespace platform {
namespace {

// Devices open in this program, refused a second open before the device is
// touched (the lock would refuse it too, after an open of the tty).
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

// A device that went away (EIO, ENXIO or ENODEV from the tty, or a hang-up) is
// looked for again at its path at most this often.
constexpr auto kLookAgain = std::chrono::seconds(1);

bool DeviceGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

// The host's folder for lock files that every program may make (sticky, open to all).
constexpr const char* kLockFolder = "/run/lock";

// Locks the device numbered `device` for this program, whichever node names it:
// a lock on a node binds only that node, and another node of the same device
// (made with mknod) would let a second program read the same reader. The lock
// is on a file named by the device number in the host's lock folder, which every
// program that takes a port this way locks too. Valid when taken; invalid with
// `error` EBUSY when another program holds it, or with `error` 0 when the host
// has no lock folder that can be used (the node's own lock still binds).
UniqueFd LockDeviceNumber(dev_t device, int& error) {
    error = 0;
    std::string path = std::string(kLockFolder) + "/swipetype-tty-" +
                       std::to_string(major(device)) + ":" + std::to_string(minor(device));
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW;
    UniqueFd fd(::open(path.c_str(), kFlags));
    if (!fd.Valid() && errno == ENOENT) {
        // Made readable by all, whatever the umask, so that any program can lock it.
        fd = UniqueFd(::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0644));
        if (fd.Valid()) {
            (void)::fchmod(fd.Get(), 0644);
        } else if (errno == EEXIST) {
            fd = UniqueFd(::open(path.c_str(), kFlags));
        }
    }
    if (!fd.Valid()) {
        return {};
    }
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? EBUSY : errno;
        return {};
    }
    return fd;
}

// Opens the tty at `path` and locks it for this program (flock beside the
// TIOCEXCL that Take sets: TIOCEXCL does not bind a privileged process, the lock
// binds every program that takes a port this way), on the node and on the device
// number (`deviceLock`). Not open, with `error` (an errno value: ENOTTY for a
// file that is not a terminal, EBUSY for one in use) and `reason` (in words),
// when it cannot be had.
UniqueFd OpenTtyDescriptor(const std::string& path, DWORD access, dev_t& device, int& error,
                           std::string& reason, UniqueFd& deviceLock) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        error = errno;
        reason = ErrorText(error);
        return {};
    }
    device = status.st_rdev;
    if (!S_ISCHR(status.st_mode)) {
        error = ENOTTY;
        reason = "not a terminal device";
        return {};
    }
    if (DevicesInUse().count(device) != 0) {
        error = EBUSY;
        reason = "already open in this program";
        return {};
    }
    UniqueFd fd(::open(path.c_str(), OpenFlags(access)));
    error = !fd.Valid() ? errno : ::isatty(fd.Get()) != 1 ? ENOTTY : 0;
    if (error == 0 && ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? EBUSY : errno;
    }
    if (error == 0) {
        int lockError = 0;
        deviceLock = LockDeviceNumber(device, lockError);
        error = lockError == EBUSY ? EBUSY : 0;
    }
    if (error != 0) {
        reason = error == EBUSY    ? "in use by another program"
                 : error == ENOTTY ? "not a terminal device"
                                   : ErrorText(error);
        return {};
    }
    return fd;
}

// A tty stays this port's device for as long as the port is open, also while the
// tty itself is gone: unplugged, or the far end of a pseudo-terminal ended. Then
// the descriptor is closed (so that the kernel can give the name to the device
// when it comes back), reads bring nothing and wait out their time without
// spinning, writes write nothing at once, and the path is looked at again once a
// second. A tty found there is taken again with the settings and output lines the
// program last set; the port's time-outs and buffer live above the device and are
// untouched. The program's own state never notices: the reader just reads nothing
// meanwhile.
class TtyDevice final : public SerialDevice {
  public:
    TtyDevice(std::string path, std::string port, DWORD access)
        : path_(std::move(path)), port_(std::move(port)), access_(access) {}
    ~TtyDevice() override { Close(); }

    // Takes the tty on `fd` for this program, remembers its settings and makes it raw.
    DWORD Take(UniqueFd fd, dev_t device, UniqueFd deviceLock, std::string& reason);

    std::string Name() const override { return path_; }
    DWORD ReadSettings(DCB& dcb) override;
    DWORD ApplySettings(const DCB& dcb) override;
    DWORD Read(BYTE* buffer, std::size_t capacity, std::size_t& moved) override;
    DWORD Write(const BYTE* data, std::size_t count, std::size_t& moved) override;
    DWORD Wait(WaitFor what, CommTime limit) override;
    CommTime Now() override;
    // Whether input waits is for poll() on the descriptor to say.
    InputWatch WatchInput() override { return {false, fd_.Get(), std::nullopt}; }
    bool Gone() override { return gone_; }
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
    DWORD SetLine(const DCB& dcb);
    DWORD ApplyRate(DWORD rate, const termios& previous);
    void DrainOutput();
    // Puts back the tty's own settings (when `restore`) and lets go of it.
    DWORD Release(bool restore);
    // The error of a failed call on the tty: a device that went away is lost and
    // the call succeeds, having done nothing; anything else is the call's error.
    DWORD Failed(int error, DWORD otherwise = ERROR_SUCCESS);
    void Lose();
    // True while the tty is there; while it is gone, looks for it again when due.
    bool Present();
    void ComeBack();

    std::string path_;
    std::string port_;
    DWORD access_;
    UniqueFd fd_;
    // The lock on the device number, held as long as fd_.
    UniqueFd deviceLock_;
    dev_t device_ = 0;
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
    // What the program set, to set again on a tty that came back, and the line
    // settings last known, reported while the tty is gone.
    std::optional<DCB> applied_;
    std::optional<bool> dtr_;
    std::optional<bool> rts_;
    DCB known_{};
    bool gone_ = false;
    std::chrono::steady_clock::time_point nextLook_{};
};

DWORD TtyDevice::Take(UniqueFd fd, dev_t device, UniqueFd deviceLock, std::string& reason) {
    fd_ = std::move(fd);
    deviceLock_ = std::move(deviceLock);
    device_ = device;
    outputMayWait_ = false;
    exclusive_ = ioctl(fd_.Get(), TIOCEXCL) == 0;
    hasOriginal_ = exclusive_ && tcgetattr(fd_.Get(), &original_) == 0;
    if (!hasOriginal_) {
        reason = ErrorText();
        return Win32ErrorFromErrno(errno);
    }
    DevicesInUse().insert(device_);
    if (HasCustomRate(fd_.Get())) {
        originalCustomRate_ = ReadCustomRate(fd_.Get());
    }
    int lines = 0;
    hasModemLines_ = ioctl(fd_.Get(), TIOCMGET, &lines) == 0;
    hasErrorCounters_ = ioctl(fd_.Get(), TIOCGICOUNT, &counters_) == 0;
    termios raw = original_;
    MakeRaw(raw);
    if (tcsetattr(fd_.Get(), TCSANOW, &raw) != 0) {
        reason = ErrorText();
        return Win32ErrorFromErrno(errno);
    }
    return ERROR_SUCCESS;
}

DWORD TtyDevice::ReadSettings(DCB& dcb) {
    termios settings{};
    if (!Present() || tcgetattr(fd_.Get(), &settings) != 0) {
        DWORD error = gone_ ? ERROR_SUCCESS : Failed(errno);
        dcb = error == ERROR_SUCCESS ? known_ : dcb;
        return error;
    }
    ReadLineSettings(settings, dcb);
    std::optional<DWORD> rate = RateForSpeedCode(cfgetospeed(&settings));
    dcb.BaudRate = rate ? *rate : ReadCustomRate(fd_.Get()).value_or(0);
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (hasModemLines_ && ioctl(fd_.Get(), TIOCMGET, &lines) != 0) {
        DWORD error = Failed(errno);
        dcb = error == ERROR_SUCCESS ? known_ : dcb;
        return error;
    }
    dcb.fDtrControl = (lines & TIOCM_DTR) != 0 ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    if (dcb.fOutxCtsFlow != 0) {
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    } else {
        dcb.fRtsControl = (lines & TIOCM_RTS) != 0 ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    }
    known_ = dcb;
    return ERROR_SUCCESS;
}

DWORD TtyDevice::ApplySettings(const DCB& dcb) {
    DWORD result = Present() ? SetLine(dcb) : ERROR_SUCCESS;
    if (result == ERROR_SUCCESS) {
        applied_ = dcb; // set again on a tty that comes back
        known_ = gone_ ? dcb : known_;
    }
    return result;
}

DWORD TtyDevice::SetLine(const DCB& dcb) {
    termios previous{};
    if (tcgetattr(fd_.Get(), &previous) != 0) {
        return Failed(errno);
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
    int error = tcsetattr(fd_.Get(), TCSANOW, &settings) == 0 ? 0 : errno;
    DWORD result = error != 0 ? Failed(error)
                   : code     ? ERROR_SUCCESS
                              : ApplyRate(dcb.BaudRate, previous);
    if (result != ERROR_SUCCESS) {
        ReportUserNotice(path_, CannotSetUpNotice(path_, error != 0 ? error : EINVAL));
    }
    return result;
}

// A rate without a standard code, set by number. A driver that refuses it leaves
// the tty as it was before the whole change.
DWORD TtyDevice::ApplyRate(DWORD rate, const termios& previous) {
    int error = SetCustomRate(fd_.Get(), rate);
    if (error == 0) {
        return ERROR_SUCCESS;
    }
    std::optional<DWORD> previousRate = ReadCustomRate(fd_.Get());
    tcsetattr(fd_.Get(), TCSANOW, &previous);
    if (previousRate && !RateForSpeedCode(cfgetospeed(&previous))) {
        SetCustomRate(fd_.Get(), *previousRate);
    }
    return error == ENOTTY ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER;
}

DWORD TtyDevice::Read(BYTE* buffer, std::size_t capacity, std::size_t& moved) {
    moved = 0;
    if (!Present()) {
        return ERROR_SUCCESS;
    }
    ssize_t count = ::read(fd_.Get(), buffer, capacity);
    if (count > 0) {
        moved = static_cast<std::size_t>(count);
        return ERROR_SUCCESS;
    }
    if (count == 0 || errno == EAGAIN || errno == EINTR) {
        return ERROR_SUCCESS;
    }
    return errno == EBADF ? ERROR_ACCESS_DENIED : Failed(errno, ERROR_READ_FAULT);
}

DWORD TtyDevice::Write(const BYTE* data, std::size_t count, std::size_t& moved) {
    // Nothing is written to a device that is not there, and the writer is told
    // so at once (see Gone).
    moved = 0;
    if (count == 0 || !Present()) {
        return ERROR_SUCCESS;
    }
    ssize_t written = ::write(fd_.Get(), data, count);
    if (written > 0) {
        moved = static_cast<std::size_t>(written);
        outputMayWait_ = true;
        return ERROR_SUCCESS;
    }
    if (written == 0 || errno == EAGAIN || errno == EINTR) {
        return ERROR_SUCCESS;
    }
    return errno == EBADF ? ERROR_ACCESS_DENIED : Failed(errno, ERROR_WRITE_FAULT);
}

DWORD TtyDevice::Wait(WaitFor what, CommTime limit) {
    if (!Present()) {
        // Nothing can come: a wait for input is sat out, not spun.
        if (what == WaitFor::Input) {
            std::this_thread::sleep_for(std::min<CommTime>(limit, kLookAgain));
        }
        return ERROR_SUCCESS;
    }
    pollfd entry{fd_.Get(), static_cast<short>(what == WaitFor::Input ? POLLIN : POLLOUT), 0};
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit);
    auto rest = std::chrono::duration_cast<std::chrono::nanoseconds>(limit - seconds);
    timespec timeout{static_cast<time_t>(seconds.count()), static_cast<long>(rest.count())};
    int ready = ppoll(&entry, 1, &timeout, nullptr);
    if (ready < 0) {
        return errno == EINTR ? ERROR_SUCCESS : Win32ErrorFromErrno(errno);
    }
    if (ready > 0 && (entry.revents & POLLNVAL) != 0) {
        return ERROR_INVALID_HANDLE;
    }
    // The far end of a pseudo-terminal was closed, or the device went away.
    if (ready > 0 && (entry.revents & (POLLHUP | POLLERR)) != 0) {
        Lose();
    }
    return ERROR_SUCCESS;
}

CommTime TtyDevice::Now() {
    return std::chrono::duration_cast<CommTime>(
        std::chrono::steady_clock::now().time_since_epoch());
}

DWORD TtyDevice::InputCount(DWORD& input) {
    input = 0;
    if (!Present()) {
        return ERROR_SUCCESS;
    }
    int waiting = 0;
    if (ioctl(fd_.Get(), TIOCINQ, &waiting) != 0) {
        return Failed(errno);
    }
    input = static_cast<DWORD>(waiting);
    return ERROR_SUCCESS;
}

DWORD TtyDevice::OutputCount(DWORD& output) {
    output = 0;
    if (!Present() || !outputMayWait_) {
        return ERROR_SUCCESS;
    }
    int waiting = 0;
    if (ioctl(fd_.Get(), TIOCOUTQ, &waiting) != 0) {
        return Failed(errno);
    }
    output = static_cast<DWORD>(waiting);
    outputMayWait_ = waiting != 0;
    return ERROR_SUCCESS;
}

DWORD TtyDevice::TakeErrors(DWORD& errors) {
    errors = 0;
    if (!hasErrorCounters_ || !Present()) {
        return ERROR_SUCCESS;
    }
    serial_icounter_struct now{};
    if (ioctl(fd_.Get(), TIOCGICOUNT, &now) != 0) {
        return Failed(errno);
    }
    errors = ErrorBits(now, counters_);
    counters_ = now;
    return ERROR_SUCCESS;
}

DWORD TtyDevice::Purge(bool input, bool output) {
    if ((!input && !output) || !Present()) {
        return ERROR_SUCCESS;
    }
    int queue = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    return tcflush(fd_.Get(), queue) == 0 ? ERROR_SUCCESS : Failed(errno);
}

DWORD TtyDevice::ReadModemLines(DWORD& modemStatus) {
    int lines = 0;
    if (!hasModemLines_) {
        return ERROR_NOT_SUPPORTED;
    }
    modemStatus = 0; // a device that is gone has every line off
    if (!Present()) {
        return ERROR_SUCCESS;
    }
    if (ioctl(fd_.Get(), TIOCMGET, &lines) != 0) {
        return Failed(errno);
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
    (line == OutputLine::Dtr ? dtr_ : rts_) = on;
    if (!Present()) {
        return ERROR_SUCCESS;
    }
    int bits = line == OutputLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
    return ioctl(fd_.Get(), on ? TIOCMBIS : TIOCMBIC, &bits) == 0 ? ERROR_SUCCESS : Failed(errno);
}

DWORD TtyDevice::SetBreak(bool on) {
    // A pseudo-terminal accepts the break requests and does nothing with them.
    if (!hasModemLines_) {
        return ERROR_NOT_SUPPORTED;
    }
    if (!Present()) {
        return ERROR_SUCCESS;
    }
    return ioctl(fd_.Get(), on ? TIOCSBRK : TIOCCBRK) == 0 ? ERROR_SUCCESS : Failed(errno);
}

DWORD TtyDevice::SuspendOutput(bool suspend) {
    if (!Present()) {
        return ERROR_SUCCESS;
    }
    return tcflow(fd_.Get(), suspend ? TCOOFF : TCOON) == 0 ? ERROR_SUCCESS : Failed(errno);
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
    gone_ = false;
    return Release(true);
}

DWORD TtyDevice::Release(bool restore) {
    if (!fd_.Valid()) {
        return ERROR_SUCCESS;
    }
    if (hasOriginal_) {
        if (restore) {
            DrainOutput();
            if (!fd_.Valid()) {
                return ERROR_SUCCESS; // it went away while draining
            }
            tcsetattr(fd_.Get(), TCSANOW, &original_);
            if (originalCustomRate_) {
                SetCustomRate(fd_.Get(), *originalCustomRate_);
            }
        }
        DevicesInUse().erase(device_);
        hasOriginal_ = false;
    }
    if (exclusive_ && restore) {
        ioctl(fd_.Get(), TIOCNXCL);
    }
    // Closed here rather than by the owner, so that a failed close is reported.
    bool closed = fd_.Close();
    deviceLock_.Reset();
    return closed ? ERROR_SUCCESS : ERROR_GEN_FAILURE;
}

DWORD TtyDevice::Failed(int error, DWORD otherwise) {
    if (!DeviceGone(error)) {
        return otherwise != ERROR_SUCCESS ? otherwise : Win32ErrorFromErrno(error);
    }
    Lose();
    return ERROR_SUCCESS;
}

void TtyDevice::Lose() {
    if (gone_) {
        return;
    }
    Release(false);
    gone_ = true;
    nextLook_ = std::chrono::steady_clock::now() + kLookAgain;
    DebugLine(port_ + ": " + path_ + " is gone; waiting for it to come back");
    ReportUserNotice(path_, GoneNotice(path_));
}

bool TtyDevice::Present() {
    if (!gone_) {
        return fd_.Valid();
    }
    auto now = std::chrono::steady_clock::now();
    if (now >= nextLook_) {
        nextLook_ = now + kLookAgain;
        ComeBack();
    }
    return !gone_;
}

// Takes the tty found at the path again, set up as the program last had it. One
// that is there but cannot be had (permission, in use) is said, and looked at
// again later.
void TtyDevice::ComeBack() {
    dev_t device = 0;
    int error = 0;
    std::string reason;
    UniqueFd deviceLock;
    UniqueFd fd = OpenTtyDescriptor(path_, access_, device, error, reason, deviceLock);
    if (!fd.Valid()) {
        if (error != ENOENT) {
            ReportUserNotice(path_, CannotOpenNotice(port_, path_, error));
        }
        return;
    }
    if (Take(std::move(fd), device, std::move(deviceLock), reason) != ERROR_SUCCESS) {
        Release(true);
        return;
    }
    gone_ = false;
    if (applied_) {
        DCB settings = *applied_;
        ApplySettings(settings);
    }
    for (auto [line, on] : {std::pair{OutputLine::Dtr, dtr_}, std::pair{OutputLine::Rts, rts_}}) {
        if (on && hasModemLines_) {
            SetOutputLine(line, *on);
        }
    }
    if (gone_) {
        return; // lost again while being set up
    }
    DebugLine(port_ + ": " + path_ + " is back");
    ClearUserNotice(path_);
}

} // namespace

std::unique_ptr<SerialDevice> OpenTtyDevice(const std::string& path, const std::string& port,
                                            DWORD access, DWORD& error, std::string& reason) {
    dev_t device = 0;
    int cause = 0;
    UniqueFd deviceLock;
    UniqueFd fd = OpenTtyDescriptor(path, access, device, cause, reason, deviceLock);
    if (!fd.Valid()) {
        // A port's caller names no folders: a device path through something
        // that is not a folder is a port that is not there.
        error = cause == ENOTDIR ? ERROR_FILE_NOT_FOUND : Win32ErrorFromErrno(cause);
        ReportUserNotice(path, CannotOpenNotice(port, path, cause));
        return nullptr;
    }
    auto tty = std::make_unique<TtyDevice>(path, port, access);
    error = tty->Take(std::move(fd), device, std::move(deviceLock), reason);
    if (error != ERROR_SUCCESS) {
        return nullptr; // the destructor puts back what was changed and closes
    }
    ClearUserNotice(path);
    return tty;
}

} // namespace platform
