#include "platform/serial/port_presence.h"

#include <map>

#include "platform/serial/comm_port.h"

namespace platform {
namespace {

std::map<int, std::function<bool()>>& Awaited() {
    static std::map<int, std::function<bool()>> awaited;
    return awaited;
}

} // namespace

PortPresence ComPortPresence(int number) {
    if (CommPort* port = OpenCommPort(number)) {
        return port->Device().Gone() ? PortPresence::Waiting : PortPresence::Open;
    }
    auto awaited = Awaited().find(number);
    return awaited != Awaited().end() && awaited->second() ? PortPresence::Waiting
                                                           : PortPresence::Off;
}

void SetComPortAwaited(int number, std::function<bool()> wanted) {
    if (wanted) {
        Awaited()[number] = std::move(wanted);
    } else {
        Awaited().erase(number);
    }
}

} // namespace platform
