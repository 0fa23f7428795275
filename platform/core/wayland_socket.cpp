#include "platform/core/wayland_socket.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>

#include "platform/core/errors.h"
#include "platform/core/unique_fd.h"

namespace platform {
namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// Where libwayland would connect for `name`; empty with `why` set when it cannot say.
std::string SocketPath(const std::string& name, std::string& why) {
    if (name.front() == '/') {
        return name;
    }
    std::string runtime = Variable("XDG_RUNTIME_DIR");
    if (runtime.empty()) {
        why =
            "WAYLAND_DISPLAY is " + name + " but XDG_RUNTIME_DIR, where its socket lives, is unset";
        return {};
    }
    return runtime + "/" + name;
}

} // namespace

bool WaylandDisplayReachable(std::string& name, std::string& why) {
    name = Variable("WAYLAND_DISPLAY");
    if (!Variable("WAYLAND_SOCKET").empty()) {
        name = name.empty() ? "WAYLAND_SOCKET" : name;
        return true;
    }
    if (name.empty()) {
        why = "WAYLAND_DISPLAY is unset";
        return false;
    }
    std::string path = SocketPath(name, why);
    if (path.empty()) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        why = "the Wayland socket path " + path + " is too long";
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.Valid()) {
        why = SystemError("socket");
        return false;
    }
    if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) !=
        0) {
        why = "no Wayland compositor at " + path + " (connect: " + ErrorText() + ")";
        return false;
    }
    return true;
}

} // namespace platform
