// localed's answer about the keyboard layout, served on a test's own bus:
// mutter without GNOME Shell asks org.freedesktop.locale1 on the system bus for
// X11Layout when it starts and types with that layout, so a mutter given this
// bus as its system bus types with the layout the test chooses.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include <gio/gio.h>

namespace wayland_test {

class LocaleService {
  public:
    LocaleService() = default;
    ~LocaleService();
    LocaleService(const LocaleService&) = delete;
    LocaleService& operator=(const LocaleService&) = delete;

    // Owns the name on the bus at `address` and answers from a thread of its
    // own until destroyed; false with `reason` set when the bus refuses.
    bool Start(const std::string& address, const std::string& layout, std::string& reason);

  private:
    std::string layout_;
    GMainContext* context_ = g_main_context_new();
    GDBusConnection* connection_ = nullptr;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

} // namespace wayland_test
