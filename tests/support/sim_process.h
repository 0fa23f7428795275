// Runs the reader simulator (tools/swipetype-sim) as a child process for tests:
// the test writes its standard input and reads its standard error line by line;
// the device path it prints is read at start.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "support/process.h"

namespace test_support {

class SimProcess : public Process {
  public:
    // Starts `path` with the arguments and reads the device path it prints.
    SimProcess(const std::string& path, const std::vector<std::string>& arguments) {
        std::vector<std::string> command{path};
        command.insert(command.end(), arguments.begin(), arguments.end());
        if (Start(command) &&
            WaitUntil([&] { return Output().find('\n') != std::string::npos || !Running(); })) {
            devicePath_ = Output().substr(0, Output().find('\n'));
        }
    }

    bool Started() const { return Pid() > 0 && !devicePath_.empty(); }
    const std::string& DevicePath() const { return devicePath_; }
    bool Send(const std::string& text) { return Write(text); }

    // Reads error lines until one holds `text`; false when none did within `limit`.
    bool Reports(const std::string& text,
                 std::chrono::milliseconds limit = std::chrono::seconds(3)) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            std::optional<std::string> line = ReadErrorLine(std::chrono::milliseconds(500));
            if (line && line->find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

  private:
    std::string devicePath_;
};

} // namespace test_support
