// A pseudo-terminal for serial tests: the test holds the master side (the far end
// of the line) and one descriptor of the slave side, through which it reads and
// sets the tty's settings the way any other program would see them. The slave
// path is what "COMn:" is pointed at.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace serialtest {

class PtyPair {
  public:
    PtyPair() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            return;
        }
        const char* name = ptsname(master_);
        path_ = name != nullptr ? name : "";
        slave_ = path_.empty() ? -1 : ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    ~PtyPair() {
        CloseMaster();
        if (slave_ >= 0) {
            ::close(slave_);
        }
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ready() const { return master_ >= 0 && slave_ >= 0; }
    const std::string& Path() const { return path_; }
    int Master() const { return master_; }

    // The tty's settings, read from the far end of the line.
    termios Settings() const {
        termios settings{};
        EXPECT_EQ(tcgetattr(master_, &settings), 0); // Linux answers for the slave
        return settings;
    }
    void SetSettings(const termios& settings) {
        ASSERT_EQ(tcsetattr(slave_, TCSANOW, &settings), 0);
    }

    // Sends bytes down the line and waits (at most a second) until the tty has
    // them ready to read.
    void Send(const std::string& bytes) {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        int waiting = 0;
        while (ioctl(slave_, TIOCINQ, &waiting) == 0 && waiting < static_cast<int>(bytes.size()) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

    // What arrived at the far end within `limit`, up to `count` bytes.
    std::string Receive(std::size_t count, std::chrono::milliseconds limit) {
        std::string bytes;
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd entry{master_, POLLIN, 0};
            if (::poll(&entry, 1, 10) > 0) {
                char chunk[4096];
                ssize_t n = ::read(master_, chunk, std::min(sizeof chunk, count - bytes.size()));
                if (n > 0) {
                    bytes.append(chunk, static_cast<std::size_t>(n));
                }
            }
        }
        return bytes;
    }

    void CloseMaster() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

} // namespace serialtest
