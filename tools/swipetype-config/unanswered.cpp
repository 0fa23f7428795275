#include "unanswered.h"

#include "platform/ipc/remote_windows.h"

namespace config_tool {

std::string WhyUnanswered() {
    if (std::string line = platform::UnansweredLine(); !line.empty()) {
        return line;
    }
    return platform::InstanceOutOfReach();
}

} // namespace config_tool
