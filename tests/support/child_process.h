// Runs a program to completion for a test while this process keeps serving its
// message loop (so the program can talk to windows of this process), collecting
// its exit status and output. A deadline ends a run that hangs.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/windowing/message_loop.h"
#include "support/process.h"

namespace test_support {

inline ChildResult RunServingLoop(const std::string& path,
                                  const std::vector<std::string>& arguments,
                                  std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    std::vector<std::string> command{path};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return Run(command, timeout, [] {
        platform::ServiceWaitSources(std::chrono::milliseconds(5));
        platform::PumpMessages();
    });
}

} // namespace test_support
