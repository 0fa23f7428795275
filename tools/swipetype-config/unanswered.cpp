#include "unanswered.h"

#include "platform/ipc/remote_windows.h"

namespace config_tool {

std::string WhyUnanswered() {
    if (platform::RemoteCallNotTaken()) {
        return "the running Swipetype could not take the connection (it may have no file "
               "descriptor left: see its standard error)";
    }
    if (platform::RemoteCallTimedOut()) {
        return "the running Swipetype gave no answer in time";
    }
    return platform::InstanceOutOfReach();
}

} // namespace config_tool
