// CreateFileW for the device names "COMn:" and SetupComm, and holding a port's
// device for its next open (port_wait.h).
#include <map>
#include <memory>

#include "platform/core/system.h"
#include "platform/serial/comm.h"
#include "platform/serial/comm_port.h"
#include "platform/serial/device/memory_serial_device.h"
#include "platform/serial/port_wait.h"
#include "platform/serial/serial_notes.h"
#include "platform/serial/serial_port_names.h"
#include "platform/serial/tty/serial_tty.h"

namespace platform {
namespace {

PortOpenFailed& OpenFailureObserver() {
    static PortOpenFailed observer;
    return observer;
}

// Devices opened by HoldComPortDevice for the next open of their port.
std::map<int, std::shared_ptr<SerialDevice>>& HeldDevices() {
    static std::map<int, std::shared_ptr<SerialDevice>> held;
    return held;
}

// The device standing for COM<number>: one held for this open, an attached
// in-memory device, else the tty its path names. A tty that will not open is
// said once with the reason, since the program itself reports only that the
// open failed.
std::shared_ptr<SerialDevice> OpenPortDevice(int number, DWORD access, DWORD& error) {
    if (auto held = HeldDevices().find(number); held != HeldDevices().end()) {
        std::shared_ptr<SerialDevice> device = std::move(held->second);
        HeldDevices().erase(held);
        return device;
    }
    if (std::shared_ptr<MemorySerialDevice> memory = AttachedMemorySerialDevice(number)) {
        error = memory->Open();
        return error == ERROR_SUCCESS ? memory : nullptr;
    }
    std::optional<std::string> path = ResolvePortPath(number);
    if (!path) {
        error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    std::string reason;
    std::unique_ptr<SerialDevice> tty =
        OpenTtyDevice(*path, "COM" + std::to_string(number), access, error, reason);
    if (!tty) {
        SaySerialNoteOnce(*path, "open:" + reason,
                          "COM" + std::to_string(number) + ": cannot open " + *path + ": " +
                              reason);
    }
    return tty;
}

HANDLE FailOpen(int number, DWORD error) {
    SetLastError(error);
    if (OpenFailureObserver()) {
        OpenFailureObserver()(number, error);
    }
    return INVALID_HANDLE_VALUE;
}

} // namespace

bool DeviceMayComeLater(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_ACCESS_DENIED ||
           error == ERROR_SHARING_VIOLATION;
}

void SetPortOpenFailureObserver(PortOpenFailed observer) {
    OpenFailureObserver() = std::move(observer);
}

bool HoldComPortDevice(int number) {
    ReleaseHeldComPortDevice(number);
    DWORD error = ERROR_SUCCESS;
    std::shared_ptr<SerialDevice> device =
        OpenPortDevice(number, GENERIC_READ | GENERIC_WRITE, error);
    if (device) {
        HeldDevices()[number] = std::move(device);
    }
    return error == ERROR_SUCCESS;
}

void ReleaseHeldComPortDevice(int number) {
    auto held = HeldDevices().find(number);
    if (held != HeldDevices().end()) {
        held->second->Close();
        HeldDevices().erase(held);
    }
}

} // namespace platform

HANDLE CreateFileW(LPCWSTR name, DWORD desiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                   DWORD creationDisposition, DWORD, HANDLE templateFile) {
    std::optional<int> number = platform::ParsePortName(name);
    if (!number) {
        // Only serial ports are opened with CreateFileW in this program.
        SetLastError(name == nullptr ? ERROR_INVALID_PARAMETER : ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (creationDisposition != OPEN_EXISTING || templateFile != nullptr) {
        return platform::FailOpen(*number, ERROR_INVALID_PARAMETER);
    }
    DWORD error = ERROR_SUCCESS;
    std::shared_ptr<platform::SerialDevice> device =
        platform::OpenPortDevice(*number, desiredAccess, error);
    if (!device) {
        return platform::FailOpen(*number, error);
    }
    DCB settings{};
    error = device->ReadSettings(settings);
    if (error != ERROR_SUCCESS) {
        device->Close();
        return platform::FailOpen(*number, error);
    }
    settings.DCBlength = sizeof(DCB);
    settings.fBinary = 1;
    return platform::AddHandle(
        std::make_unique<platform::CommPort>(std::move(device), *number, desiredAccess, settings));
}

BOOL SetupComm(HANDLE port, DWORD, DWORD) {
    // The sizes are a recommendation on the device too; the driver keeps its own.
    return platform::BeginPortCall(port, platform::CommCall::Setup) != nullptr ? TRUE : FALSE;
}
