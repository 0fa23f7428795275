#include "host/remembered_ports_start.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/remembered_ports.h"
#include "platform/serial_port_names.h"

namespace host {
namespace {

void Say(const std::string& line) {
    std::fprintf(stderr, "swipetype: %s\n", line.c_str());
}

// The name to remember a device by: its stable name where it has one.
std::string NameToRemember(const std::string& path, std::string& stable) {
    stable = platform::StableSerialName(path);
    if (!stable.empty()) {
        return stable;
    }
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

void Remember(const PortMapping& port) {
    std::string name = "COM" + std::to_string(port.number) + ":";
    std::optional<std::string> before = platform::RememberedPortPath(port.number);
    std::string stable;
    std::string target = port.path.empty() ? "" : NameToRemember(port.path, stable);
    if (before.value_or("") == target) {
        return;
    }
    std::string error;
    if (!platform::RememberPortPath(port.number, target, error)) {
        Say("cannot remember " + name + " for later starts: " + error);
    } else if (target.empty()) {
        Say(name + " is no longer remembered on this device root");
    } else if (!stable.empty() && stable != port.path) {
        Say(name + " is remembered as " + stable + ", the stable name of " + port.path);
    }
}

} // namespace

void ApplyPorts(const std::vector<PortMapping>& ports) {
    for (const PortMapping& port : ports) {
        platform::SetPortPath(port.number, port.path);
    }
}

void RememberPorts(const std::vector<PortMapping>& ports) {
    for (const PortMapping& port : ports) {
        Remember(port);
    }
}

} // namespace host
