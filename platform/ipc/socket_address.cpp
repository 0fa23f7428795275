#include "platform/ipc/socket_address.h"
#include "platform/core/errors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace platform::remote {
namespace {

bool Fill(sockaddr_un& address, const std::string& path) {
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

std::optional<SocketAddress> SocketAddress::For(const std::string& path, std::string& error) {
    SocketAddress address;
    if (Fill(address.address_, path)) {
        return address;
    }
    std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    address.folder_.Reset(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!address.folder_.Valid()) {
        error = SystemError("cannot open " + folder);
        return std::nullopt;
    }
    std::string throughFolder =
        "/proc/self/fd/" + std::to_string(address.folder_.Get()) + "/" + path.substr(slash + 1);
    if (!Fill(address.address_, throughFolder)) {
        error = "the socket name in " + path + " is too long";
        return std::nullopt;
    }
    return address;
}

} // namespace platform::remote
