#include "host/remembered_ports_start.h"

#include <string>

#include "platform/core/standard_streams.h"
#include "platform/serial/remembered_ports.h"
#include "platform/serial/serial_port_names.h"

namespace host {
namespace {

void Say(const std::string& line) {
    platform::WriteErrorLine("swipetype: " + line);
}

void Remember(const PortMapping& port) {
    std::string name = "COM" + std::to_string(port.number) + ":";
    std::optional<std::string> before = platform::RememberedPortPath(port.number);
    std::string target = port.path.empty() ? "" : platform::PortPathToRemember(port.path);
    if (before.value_or("") == target) {
        return;
    }
    std::string error;
    if (!platform::RememberPortPath(port.number, target, error)) {
        Say("cannot remember " + name + " for later starts: " + error);
    } else if (target.empty()) {
        Say(name + " is no longer remembered on this device root");
    } else if (target == platform::StableSerialName(port.path) && target != port.path) {
        Say(name + " is remembered as " + target + ", the stable name of " + port.path);
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
