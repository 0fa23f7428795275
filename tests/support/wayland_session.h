// A Wayland desktop of its own for a test: a private D-Bus session bus and a
// headless compositor (sway, weston for a compositor without the virtual
// keyboard protocol, mutter, GNOME's, with its remote desktop on the bus, or KWin,
// Plasma's, with its fake input), optionally waybar as
// the StatusNotifier panel and wev as a native client that records the text it receives.
//
// sway refuses to run as root, so when the test runs as root the desktop, the bus
// and every program the test starts in the session run as user nobody (through
// setpriv), with a runtime folder and home of their own; otherwise they run as the
// test's user. A session bus only lets its own user in: run the program under test
// and any D-Bus client through the session (Launch, Run, Command), and hand it the
// files it needs (GiveToUser). The bus also lets the test's own user in, so
// that a sink linked into the test can reach the desktop's services.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

namespace wayland_test {

// Cage runs as its kiosk application a shell that stays and has no window;
// the test's own windows come after it, and cage shows and focuses the newest.
enum class Compositor { Sway, Weston, Mutter, Cage, KWin };

struct SessionOptions {
    Compositor compositor = Compositor::Sway;
    // The keyboard layout the compositor starts with (XKB_DEFAULT_LAYOUT); "" for
    // its default (KWin).
    std::string layout{};
    // A keyboard in the seat from the start, as a desktop has one: a client only
    // binds wl_keyboard once the seat offers it, so without one the first key of
    // a newly made virtual keyboard can arrive before the client listens (sway).
    bool keyboard = true;
    // waybar with only its tray module: the StatusNotifier watcher and host (sway).
    bool panel = false;
    // XWayland, and DISPLAY in the session's environment as a desktop sets it (sway, KWin).
    bool xwayland = false;
    // mutter: the session's bus is also its system bus, where it asks localed
    // (org.freedesktop.locale1) for the keyboard layout when it starts.
    bool busAsSystemBus = false;
    // Runs once the bus is up and before the compositor starts (and before each
    // restart): a service the compositor asks for when it starts. False with
    // `reason` set stops the start.
    std::function<bool(const std::string& busAddress, std::string& reason)> beforeCompositor = {};
};

using test_support::ChildResult;
using test_support::Process;
using SessionProcess = Process; // the name the benches use

class WaylandSession {
  public:
    WaylandSession() = default;
    ~WaylandSession() { Stop(); }
    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;

    // Starts the bus, the compositor and what `options` asks for, each waited for
    // with a deadline. False with `reason` set (for GTEST_SKIP) when a package is
    // missing or a part does not come up.
    bool Start(const SessionOptions& options, std::string& reason);
    // Ends every process of the session and removes its folder.
    void Stop();
    // Ends the compositor and what runs in it (the seat's keyboard, the panel), as
    // a crash or a restart does; the bus and the folder stay.
    void StopCompositor();
    // Starts the compositor again as Start did, on the same socket; false with
    // `reason` set when it does not come up there.
    bool RestartCompositor(std::string& reason);
    // waybar as the panel, for a test that starts it after its program (sway).
    bool StartPanel(std::string& reason);

    uid_t Uid() const { return uid_; }
    gid_t Gid() const { return gid_; }
    // A folder of the session's user for the test's own files (removed with the session).
    std::string Folder() const { return folder_->Path(); }
    std::string RuntimeDir() const { return Folder() + "/run"; }
    const std::string& WaylandDisplay() const { return waylandDisplay_; }
    const std::string& BusAddress() const { return busAddress_; }
    const std::string& SwaySocket() const { return swaySocket_; } // "" under weston
    const std::string& XDisplay() const { return xDisplay_; } // "" without XWayland (cage: its own)
    // The cookie file the compositor gave XWayland, "" when none (KWin).
    const std::string& XAuthority() const { return xAuthority_; }

    // The command line that runs `arguments` in the session, as its user, in the
    // session's environment only (WAYLAND_DISPLAY, XDG_RUNTIME_DIR, HOME,
    // DBUS_SESSION_BUS_ADDRESS, SWAYSOCK, LANG=C.UTF-8, PATH, the sanitizers'
    // options). `environment` adds "NAME=value" or removes "NAME". Usable by any
    // launcher, as a wrapper in front of a command.
    std::vector<std::string> Command(const std::vector<std::string>& arguments,
                                     const std::vector<std::string>& environment = {}) const;
    // Starts `arguments` in the session; null when it cannot be started.
    std::unique_ptr<Process> Launch(const std::vector<std::string>& arguments,
                                    const std::vector<std::string>& environment = {}) const;
    // Runs `arguments` in the session to its end.
    ChildResult Run(const std::vector<std::string>& arguments,
                    std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // Gives the file or folder (with everything in it) to the session's user:
    // a device root, a pseudo-terminal's slave device, a log file. True as the
    // test's own user, where nothing needs changing.
    bool GiveToUser(const std::string& path) const;
    // The path at which the session's user can run `program`: the program itself,
    // or, when its folder is closed to that user (a build under /root), a copy in
    // the session folder beside copies of the modules (*.so) it loads from its
    // own folder. "" with `reason` set when neither works.
    std::string Reachable(const std::string& program, std::string& reason) const;

    // KWin: offers its fake input (org_kde_kwin_fake_input) to `program`, as a
    // desktop file in the session's data folder does; `program` must be a path
    // KWin (the session's user) can see, as Reachable gives.
    bool GrantFakeInput(const std::string& program, std::string& reason) const;
    // KWin: changes the layout of the running session to `layout`, as the
    // keyboard settings do (kxkbrc, then org.kde.keyboard's reloadConfig).
    bool SetLayout(const std::string& layout, std::string& reason) const;

    // sway: the window tree (swaymsg -t get_tree), "" when it cannot be had.
    std::string Tree() const;
    // sway: true once a window matches the criteria ("app_id=\"^wev$\" con_id=__focused__").
    bool WaitForWindow(const std::string& criteria, std::chrono::milliseconds timeout) const;
    // The panel's watcher's RegisteredStatusNotifierItems; nullopt with `error`
    // set when the watcher cannot be asked.
    std::optional<std::vector<std::string>> RegisteredItems(std::string& error) const;

  private:
    bool StartBus(std::string& reason);
    bool StartCompositor(std::string& reason);
    bool StartSway(const SessionOptions& options, std::string& reason);
    bool StartWeston(std::string& reason);
    bool StartMutter(std::string& reason);
    bool StartCage(std::string& reason);
    bool StartKWin(std::string& reason);
    bool StartKeyboard(std::string& reason);
    bool FindXDisplay(std::string& reason);

    SessionOptions options_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    bool asNobody_ = false;
    std::unique_ptr<test_support::TempDir> folder_;
    std::string waylandDisplay_, busAddress_, swaySocket_, xDisplay_;
    std::string xAuthority_;
    // In the order they are ended: clients first, the bus last.
    Process panel_, keyboard_, compositor_, bus_;
};

// wev as the only window, focused: records the text of the key presses it
// receives (the UTF-8 each press decodes to, in order).
class KeyRecorder {
  public:
    // Starts wev and waits until sway has given it the focus, or until mutter
    // has given it its size (mutter focuses a new window).
    bool Start(const WaylandSession& session, std::string& reason);
    // Waits until wev's window has the keyboard's focus (not on sway): a seat
    // that has no keyboard yet (KWin's, until a program makes a fake one) gives
    // it only once one comes.
    bool WaitForKeyboard(std::chrono::milliseconds timeout);
    // The text received so far.
    std::string Text();
    // Waits until at least as many bytes as `expected` has arrived, or the time is
    // up; returns what arrived, for an exact comparison.
    std::string WaitFor(const std::string& expected, std::chrono::milliseconds timeout);

  private:
    std::unique_ptr<Process> wev_;
    std::string text_;       // decoded from wev's output up to parsed_
    std::size_t parsed_ = 0; // where the first line not yet read starts
    bool pressed_ = false;   // the last key line read was a press
};

} // namespace wayland_test
