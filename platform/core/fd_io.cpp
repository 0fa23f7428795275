#include "platform/core/fd_io.h"

#include <algorithm>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

// The loop every whole write shares. put makes one attempt; whenFull decides,
// after an EAGAIN, whether to try again (it waits for room) or give up.
template <typename Put, typename WhenFull>
bool PutAll(const char* data, std::size_t size, std::size_t* written, Put put, WhenFull whenFull) {
    std::size_t done = 0;
    bool whole = true;
    while (done < size) {
        ssize_t n = put(data + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 &&
                   (errno == EINTR || ((errno == EAGAIN || errno == EWOULDBLOCK) && whenFull()))) {
            continue; // interrupted, or full and there is room again
        } else {
            errno = n == 0 ? ENOSPC : errno;
            whole = false;
            break;
        }
    }
    if (written != nullptr) {
        *written = done;
    }
    return whole;
}

} // namespace

bool WriteAll(int fd, std::string_view bytes, std::size_t* written) {
    auto put = [fd](const char* data, std::size_t size) { return ::write(fd, data, size); };
    return PutAll(bytes.data(), bytes.size(), written, put, [] { return false; });
}

bool SendAll(int fd, std::span<const std::uint8_t> bytes, std::chrono::milliseconds waitWhenFull) {
    auto put = [fd](const char* data, std::size_t size) {
        return ::send(fd, data, size, MSG_NOSIGNAL);
    };
    auto waitForRoom = [fd, waitWhenFull] {
        pollfd room{fd, POLLOUT, 0};
        int ready = RetryOnInterrupt(
            [&] { return ::poll(&room, 1, static_cast<int>(waitWhenFull.count())); });
        if (ready == 0) {
            errno = ETIMEDOUT;
        }
        return ready > 0;
    };
    return PutAll(reinterpret_cast<const char*>(bytes.data()), bytes.size(), nullptr, put,
                  waitForRoom);
}

bool ReadAll(int fd, std::string& bytes, std::size_t limit) {
    char chunk[65536];
    while (bytes.size() < limit) {
        std::size_t wanted = std::min(sizeof chunk, limit - bytes.size());
        ssize_t n = RetryOnInterrupt([&] { return ::read(fd, chunk, wanted); });
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace platform
