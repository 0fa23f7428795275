// Counts the files renamed onto one name in a folder, as the kernel reports
// them (inotify), so that a test sees how often a file was replaced whole.
#pragma once

#include <filesystem>
#include <string>
#include <sys/inotify.h>
#include <unistd.h>

namespace test_support {

class RenameCount {
  public:
    RenameCount(const std::string& folder, std::string name) : name_(std::move(name)) {
        std::filesystem::create_directories(folder);
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ::inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO);
    }
    ~RenameCount() { ::close(fd_); }
    RenameCount(const RenameCount&) = delete;
    RenameCount& operator=(const RenameCount&) = delete;

    // The renames onto the name since the last call. The kernel queues each
    // event before the rename returns, so no wait is needed.
    int Take() {
        int count = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t got; (got = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                count += event->len > 0 && name_ == event->name;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return count;
    }

  private:
    std::string name_;
    int fd_ = -1;
};

} // namespace test_support
