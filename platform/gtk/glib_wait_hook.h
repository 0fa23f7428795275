// GLib's main context served from the message loop's wait (platform/loop/wait_hook.h):
// before each wait the context is prepared and its descriptors and timeout are
// handed to the loop's poll(); after it the context is checked and its ready
// sources dispatched. The context is acquired by this thread while installed.
#pragma once

#include <functional>
#include <poll.h>
#include <vector>

namespace platform::gtk_front_end {

// `beforeWait` runs before each wait, ahead of GLib's own preparation: the front
// end brings its widgets up to date there, so that what GLib then draws is the
// window system's state after the messages just handled. `afterWait` runs after
// each wait with what the poll found on GLib's descriptors, before GLib looks
// at them: the front end notices a lost display there, ahead of GDK.
void InstallGlibWaitHook(std::function<void()> beforeWait,
                         std::function<void(const std::vector<pollfd>&)> afterWait);
void RemoveGlibWaitHook();

} // namespace platform::gtk_front_end
