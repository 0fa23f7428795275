// The test's and the bench's side of the kde sink's driver program
// (tests/support/kde_sink_driver.cpp): started in a KWin session as its user,
// with fake input granted to it, and asked one command at a time.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "support/spawn.h"
#include "support/wayland_session.h"

namespace wayland_test {

class KdeDriver {
  public:
    // Grants the driver at `program` fake input and starts it; false with
    // `reason` set when it made no sink.
    bool Start(const WaylandSession& session, const std::string& program, std::string& reason) {
        std::string reachable = session.Reachable(program, reason);
        if (reachable.empty() || !session.GrantFakeInput(reachable, reason)) {
            return false;
        }
        process_ = session.Launch({reachable});
        std::string ready = process_ ? Answer(std::chrono::seconds(20)) : "";
        if (ready.rfind("ready ", 0) != 0) {
            reason = "the driver made no kde sink: " + ready +
                     (process_ ? " " + process_->Errors() : std::string());
            return false;
        }
        target_ = ready.substr(6);
        return true;
    }
    // What the sink says it reaches: the compositor and the layout it types for.
    const std::string& Target() const { return target_; }

    // The answer to `command`, "" when none came within `limit`; `meanwhile`
    // runs while it is waited for.
    std::string Ask(const std::string& command,
                    std::chrono::milliseconds limit = std::chrono::seconds(10),
                    const std::function<void()>& meanwhile = {}) {
        return process_ && process_->Write(command + "\n") ? Answer(limit, meanwhile) : "";
    }
    // The next answer, for a command that gives more than one.
    std::string Answer(std::chrono::milliseconds limit,
                       const std::function<void()>& meanwhile = {}) {
        static constexpr char kMark[] = "driver: ";
        std::size_t start = std::string::npos, end = std::string::npos;
        test_support::WaitUntil(
            [&] {
                if (meanwhile) {
                    meanwhile();
                }
                const std::string& output = process_->Output();
                start = output.find(kMark, taken_);
                end = start == std::string::npos ? start : output.find('\n', start);
                return end != std::string::npos;
            },
            limit);
        if (end == std::string::npos) {
            return "";
        }
        start += sizeof kMark - 1;
        std::string line = process_->Output().substr(start, end - start);
        taken_ = end + 1;
        return line;
    }

  private:
    std::unique_ptr<Process> process_;
    std::size_t taken_ = 0;
    std::string target_;
};

} // namespace wayland_test
