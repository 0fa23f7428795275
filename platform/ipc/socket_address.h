// The address of a Unix socket at a path of any length. sun_path holds 107
// bytes, and a device root deep in a file system (a long home folder, a test's
// temporary folder) gives a longer socket path. Such a path is reached through
// a descriptor of the socket's folder, as /proc/self/fd/N/NAME, which the
// kernel resolves as it would the path itself, for bind() and connect() alike.
#pragma once

#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>

#include "platform/core/unique_fd.h"

namespace platform::remote {

class SocketAddress {
  public:
    // The address of the socket at `path`; nothing, with a sentence in
    // `error`, when its folder cannot be opened or its name is too long.
    static std::optional<SocketAddress> For(const std::string& path, std::string& error);

    const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&address_); }
    socklen_t Size() const { return sizeof address_; }

  private:
    sockaddr_un address_{};
    UniqueFd folder_; // held while the address is used, for a long path
};

} // namespace platform::remote
