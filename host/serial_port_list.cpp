#include "host/serial_port_list.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

#include "host/udev_library.h"
#include "platform/core/errors.h"
#include "platform/serial/device/serial_problems.h"
#include "platform/serial/remembered_ports.h"
#include "platform/serial/serial_port_names.h"

namespace host {
namespace {

constexpr int kLargestPort = 255;

struct SerialDevice {
    std::string node;   // /dev/ttyUSB0
    std::string kernel; // ttyUSB0
    std::string driver; // ftdi_sio
    std::string usb;    // USB 0403:6001 serial A9B8C7
    std::string ports;  // COM1:
};

std::string Text(const char* value) {
    return value != nullptr ? value : "";
}

std::string Canonical(const std::string& path) {
    std::error_code error;
    std::filesystem::path real = std::filesystem::canonical(path, error);
    return error ? path : real.string();
}

// The driver of the nearest device above the tty that has one. The serial
// core's own port and controller devices ("serial-base") are passed over:
// their drivers are the core's, not the hardware's.
std::string DriverOf(UdevLibrary& udev, udev_device* device) {
    for (udev_device* above = udev.Parent(device); above != nullptr; above = udev.Parent(above)) {
        const char* driver = udev.Driver(above);
        if (driver != nullptr && Text(udev.Subsystem(above)) != "serial-base") {
            return driver;
        }
    }
    return "";
}

std::string UsbOf(UdevLibrary& udev, udev_device* device) {
    udev_device* usb = udev.ParentOfType(device, "usb", "usb_device");
    if (usb == nullptr) {
        return "";
    }
    std::string text = "USB " + Text(udev.Attribute(usb, "idVendor")) + ":" +
                       Text(udev.Attribute(usb, "idProduct"));
    std::string serial = Text(udev.Attribute(usb, "serial"));
    return serial.empty() ? text : text + " serial " + serial;
}

// The tty devices with hardware behind them. A serial-core port of type 0
// ("unknown") is a placeholder the kernel makes without any hardware.
std::vector<SerialDevice> UdevSerialDevices(UdevLibrary& udev) {
    std::vector<SerialDevice> devices;
    std::unique_ptr<struct udev, decltype(udev.Unref)> context(udev.New(), udev.Unref);
    if (!context) {
        return devices;
    }
    std::unique_ptr<udev_enumerate, decltype(udev.EnumerateUnref)> enumeration(
        udev.EnumerateNew(context.get()), udev.EnumerateUnref);
    if (!enumeration || udev.MatchSubsystem(enumeration.get(), "tty") < 0 ||
        udev.ScanDevices(enumeration.get()) < 0) {
        return devices;
    }
    for (udev_list_entry* entry = udev.FirstEntry(enumeration.get()); entry != nullptr;
         entry = udev.NextEntry(entry)) {
        std::unique_ptr<udev_device, decltype(udev.DeviceUnref)> device(
            udev.DeviceFromSyspath(context.get(), udev.EntryName(entry)), udev.DeviceUnref);
        if (!device || udev.Parent(device.get()) == nullptr ||
            udev.Devnode(device.get()) == nullptr ||
            Text(udev.Attribute(device.get(), "type")) == "0") {
            continue;
        }
        devices.push_back({Text(udev.Devnode(device.get())), Text(udev.Sysname(device.get())),
                           DriverOf(udev, device.get()), UsbOf(udev, device.get()), ""});
    }
    return devices;
}

// Whether this user may open the device, and if not, why.
std::string AccessOf(const std::string& node) {
    if (::access(node.c_str(), R_OK | W_OK) == 0) {
        return "you may open it";
    }
    std::string reason = platform::ErrorText();
    struct stat info {};
    if (::stat(node.c_str(), &info) != 0) {
        return "not there (" + reason + ")";
    }
    platform::PermissionProblem problem = platform::WhyNotPermitted(node);
    return problem.cause.empty() ? "you may not open it (" + reason + ")"
                                 : "you may not open it: " + problem.cause;
}

// The ports each device stands for, by the device's real path; and the devices
// of ports mapped away from the default, which udev may not know.
std::map<std::string, std::string> PortsByDevice(std::vector<std::string>& mapped) {
    std::map<std::string, std::string> ports;
    for (int number = 1; number <= kLargestPort; ++number) {
        std::string path = platform::ResolvePortPath(number).value_or("");
        std::string& names = ports[Canonical(path)];
        names += (names.empty() ? "" : " ") + ("COM" + std::to_string(number) + ":");
        if (path != "/dev/ttyS" + std::to_string(number - 1)) {
            mapped.push_back(path);
        }
    }
    return ports;
}

// What is known of a mapped device that udev does not list.
SerialDevice MappedDevice(const std::string& path) {
    SerialDevice device{path, "", "", "", ""};
    struct stat info {};
    std::string real = Canonical(path);
    if (::stat(real.c_str(), &info) == 0) {
        device.kernel = real.starts_with("/dev/") ? real.substr(5) : real;
        // Unix 98 pseudo-terminal devices have the majors 136 to 143.
        if (S_ISCHR(info.st_mode) && major(info.st_rdev) >= 136 && major(info.st_rdev) <= 143) {
            device.driver = "pseudo-terminal";
        }
    }
    return device;
}

void Print(std::FILE* out, const SerialDevice& device) {
    std::string stable = platform::StableSerialName(device.node);
    std::string line = stable.empty() ? device.node : stable;
    std::vector<std::string> fields;
    if (!device.kernel.empty()) {
        fields.push_back("kernel " + device.kernel);
    }
    if (device.driver == "pseudo-terminal") {
        fields.push_back(device.driver);
    } else if (!device.driver.empty()) {
        fields.push_back("driver " + device.driver);
    }
    for (const std::string& field : {device.usb, AccessOf(device.node), device.ports}) {
        if (!field.empty()) {
            fields.push_back(field);
        }
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        line += (i == 0 ? "  " : ", ") + fields[i];
    }
    std::fprintf(out, "%s\n", line.c_str());
}

} // namespace

int ListSerialPorts(std::FILE* out) {
    UdevLibrary udev;
    if (!udev.Loaded()) {
        std::fprintf(stderr, "swipetype: cannot list serial devices without libudev: %s\n",
                     udev.Error().c_str());
        return 1;
    }
    std::vector<SerialDevice> devices = UdevSerialDevices(udev);
    std::vector<std::string> mapped;
    std::map<std::string, std::string> ports = PortsByDevice(mapped);
    for (const std::string& path : mapped) {
        std::string real = Canonical(path);
        bool listed = std::any_of(devices.begin(), devices.end(), [&](const SerialDevice& device) {
            return Canonical(device.node) == real;
        });
        if (!listed) {
            devices.push_back(MappedDevice(path));
        }
    }
    for (SerialDevice& device : devices) {
        device.ports = ports[Canonical(device.node)];
        Print(out, device);
    }
    if (devices.empty()) {
        std::fprintf(stderr, "swipetype: no serial devices found\n");
    }
    return 0;
}

} // namespace host
