#include "platform/serial/port_presence.h"

#include "platform/serial/comm_port.h"

PortPresence ComPortPresence(int number) {
    for (platform::CommPort* port : platform::OpenCommPorts()) {
        if (port->Number() == number) {
            return port->Device().Absent() ? PortPresence::Waiting : PortPresence::Open;
        }
    }
    return PortPresence::Off;
}
