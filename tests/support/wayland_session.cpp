#include "support/wayland_session.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/core/unique_fd.h"
#include "support/spawn.h"

namespace wayland_test {
namespace {

using test_support::WaitUntil;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

// The first file in `folder` whose name starts with `prefix` and does not end
// with ".lock"; "" when there is none yet.
std::string FindSocket(const std::string& folder, const std::string& prefix) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && entry.path().extension() != ".lock") {
            return entry.path().string();
        }
    }
    return "";
}

// Whether a socket at `path` takes connections: a compositor makes the file a
// moment before it listens on it.
bool Listening(const std::string& path) {
    platform::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    return fd.Get() >= 0 &&
           ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool Installed(const std::string& name, std::string& reason) {
    std::string path;
    if (!test_support::FindProgram(name, path)) {
        reason = name + " is not installed (scripts/install-deps.sh)";
        return false;
    }
    return true;
}

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::trunc);
    file << text;
    return static_cast<bool>(file);
}

const char* CompositorProgram(Compositor compositor) {
    switch (compositor) {
    case Compositor::Sway:
        return "sway";
    case Compositor::Weston:
        return "weston";
    case Compositor::Mutter:
        return "mutter";
    case Compositor::Cage:
        return "cage";
    case Compositor::KWin:
        return "kwin_wayland";
    }
    return "";
}

} // namespace

bool WaylandSession::Start(const SessionOptions& options, std::string& reason) {
    Stop();
    options_ = options;
    for (const char* needed :
         {CompositorProgram(options.compositor), "dbus-daemon", "setpriv", "stdbuf"}) {
        if (!Installed(needed, reason)) {
            return false;
        }
    }
    asNobody_ = ::geteuid() == 0;
    uid_ = asNobody_ ? kNobody : ::geteuid();
    gid_ = asNobody_ ? kNobody : ::getegid();
    folder_ = std::make_unique<test_support::TempDir>("swipetype-wayland");
    std::error_code error;
    fs::create_directories(RuntimeDir(), error);
    fs::create_directories(Folder() + "/home", error);
    fs::permissions(RuntimeDir(), fs::perms::owner_all, error);
    if (!GiveToUser(Folder())) {
        reason = "chown of " + Folder() + " failed";
        return false;
    }
    bool started = StartBus(reason) && StartCompositor(reason);
    if (!started) {
        Stop();
    }
    return started;
}

bool WaylandSession::StartCompositor(std::string& reason) {
    if (options_.beforeCompositor && !options_.beforeCompositor(busAddress_, reason)) {
        return false;
    }
    switch (options_.compositor) {
    case Compositor::Sway:
        return StartSway(options_, reason);
    case Compositor::Weston:
        return StartWeston(reason);
    case Compositor::Mutter:
        return StartMutter(reason);
    case Compositor::Cage:
        return StartCage(reason);
    case Compositor::KWin:
        return StartKWin(reason);
    }
    return false;
}

void WaylandSession::Stop() {
    for (Process* process : {&panel_, &keyboard_, &compositor_, &bus_}) {
        process->Stop();
    }
    folder_.reset();
    waylandDisplay_.clear();
    busAddress_.clear();
    swaySocket_.clear();
    xDisplay_.clear();
    xAuthority_.clear();
}

void WaylandSession::StopCompositor() {
    for (Process* process : {&panel_, &keyboard_, &compositor_}) {
        process->Stop();
    }
}

bool WaylandSession::RestartCompositor(std::string& reason) {
    StopCompositor();
    std::string socket = waylandDisplay_;
    bool started = StartCompositor(reason);
    if (started && waylandDisplay_ != socket) {
        reason = "the compositor came back on " + waylandDisplay_ + ", not " + socket;
        return false;
    }
    return started;
}

bool WaylandSession::StartBus(std::string& reason) {
    std::string address = "unix:path=" + RuntimeDir() + "/bus";
    // The session's own bus, letting the test's user in too.
    std::string config = Folder() + "/bus.conf";
    WriteText(config, "<busconfig><include>/usr/share/dbus-1/session.conf</include>"
                      "<policy context=\"default\"><allow user=\"" +
                          std::to_string(::geteuid()) + "\"/></policy></busconfig>\n");
    GiveToUser(config);
    if (!bus_.Start(Command({"dbus-daemon", "--config-file=" + config, "--nofork",
                             "--print-address", "--address=" + address}))) {
        reason = "dbus-daemon could not be started";
        return false;
    }
    if (!WaitUntil([&] { return bus_.Output().find('\n') != std::string::npos; }, 10s)) {
        reason = "dbus-daemon gave no address within 10 s: " + bus_.Errors();
        return false;
    }
    busAddress_ = address;
    return true;
}

bool WaylandSession::StartSway(const SessionOptions& options, std::string& reason) {
    // One output, no bar, nothing the user's own configuration would add.
    std::string config = Folder() + "/sway.conf";
    WriteText(config, "output HEADLESS-1 resolution 1024x768\n"
                      "xwayland " +
                          std::string(options.xwayland ? "enable" : "disable") +
                          "\n"
                          "focus_follows_mouse no\n");
    GiveToUser(config);
    if (!compositor_.Start(
            Command({"sway", "-c", config}, {"WLR_BACKENDS=headless", "WLR_RENDERER=pixman",
                                             "WLR_LIBINPUT_NO_DEVICES=1"}))) {
        reason = "sway could not be started";
        return false;
    }
    bool up = WaitUntil(
        [&] {
            swaySocket_ = FindSocket(RuntimeDir(), "sway-ipc.");
            std::string wayland = FindSocket(RuntimeDir(), "wayland-");
            waylandDisplay_ = wayland.empty() ? "" : fs::path(wayland).filename().string();
            return (!swaySocket_.empty() && !waylandDisplay_.empty() &&
                    Run({"swaymsg", "-t", "get_outputs"}, 5s).status == 0) ||
                   !compositor_.Running();
        },
        10s);
    if (!up || !compositor_.Running()) {
        reason = "sway did not come up within 10 s: " + compositor_.Errors();
        return false;
    }
    return (!options.keyboard || StartKeyboard(reason)) && (!options.panel || StartPanel(reason)) &&
           (!options.xwayland || FindXDisplay(reason));
}

bool WaylandSession::StartWeston(std::string& reason) {
    waylandDisplay_ = "wayland-1";
    if (!compositor_.Start(Command({"weston", "--backend=headless-backend.so", "--no-config",
                                    "--idle-time=0", "--socket=" + waylandDisplay_}))) {
        reason = "weston could not be started";
        return false;
    }
    if (!WaitUntil([&] { return Listening(RuntimeDir() + "/" + waylandDisplay_); }, 10s)) {
        reason = "weston did not come up within 10 s: " + compositor_.Errors();
        return false;
    }
    return true;
}

// mutter with one virtual monitor; up once its socket takes connections and
// its remote desktop answers on the bus.
bool WaylandSession::StartMutter(std::string& reason) {
    waylandDisplay_ = "wayland-1";
    std::vector<std::string> environment;
    if (options_.busAsSystemBus) {
        environment.push_back("DBUS_SYSTEM_BUS_ADDRESS=" + busAddress_);
    }
    if (!compositor_.Start(
            Command({"mutter", "--headless", "--wayland", "--no-x11", "--virtual-monitor",
                     "1280x800", "--wayland-display=" + waylandDisplay_},
                    environment))) {
        reason = "mutter could not be started";
        return false;
    }
    bool up = WaitUntil(
        [&] {
            return !compositor_.Running() ||
                   (Listening(RuntimeDir() + "/" + waylandDisplay_) &&
                    Run({"gdbus", "call", "--session", "--dest", "org.gnome.Mutter.RemoteDesktop",
                         "--object-path", "/org/gnome/Mutter/RemoteDesktop", "--method",
                         "org.freedesktop.DBus.Peer.Ping"},
                        5s)
                            .status == 0);
        },
        20s);
    if (!up || !compositor_.Running()) {
        reason = "mutter did not come up within 20 s: " + compositor_.Errors();
        return false;
    }
    return true;
}

// cage, headless, with a shell as its application that writes down the DISPLAY
// of cage's XWayland (cage sets it for its application only when it has one).
// XWayland lets in only its own user: the shell lets the test's user in too.
bool WaylandSession::StartCage(std::string& reason) {
    if (!Installed("xhost", reason)) {
        return false;
    }
    std::string file = Folder() + "/display";
    std::string script = "xhost +si:localuser:$(id -un " + std::to_string(::geteuid()) +
                         ") >/dev/null; echo \"$DISPLAY\" > " + file + ".new && mv " + file +
                         ".new " + file + " && exec sleep 86400";
    if (!compositor_.Start(Command(
            {"cage", "--", "sh", "-c", script},
            {"WLR_BACKENDS=headless", "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1"}))) {
        reason = "cage could not be started";
        return false;
    }
    std::string wayland;
    if (!WaitUntil([&] { return fs::exists(file) || !compositor_.Running(); }, 10s) ||
        (wayland = FindSocket(RuntimeDir(), "wayland-")).empty()) {
        reason = "cage did not start its application within 10 s: " + compositor_.Errors();
        return false;
    }
    waylandDisplay_ = fs::path(wayland).filename().string();
    std::ifstream(file) >> xDisplay_;
    return true;
}

// KWin on a virtual output, its XDG data folder the session's own (where the
// desktop files granting fake input go). The installed binary carries a file
// capability (cap_sys_resource) that makes exec fail where the capability is
// not to be had, as in a container; a copy, which drops it, runs anywhere.
// KWin starts the programs named after its options once it is up, XWayland
// included: one writes down the DISPLAY it got.
bool WaylandSession::StartKWin(std::string& reason) {
    std::string installed, copy = Folder() + "/kwin_wayland";
    std::error_code error;
    if (!test_support::FindProgram("kwin_wayland", installed) ||
        !fs::copy_file(installed, copy, fs::copy_options::overwrite_existing, error) ||
        !GiveToUser(copy)) {
        reason = "kwin_wayland could not be copied to " + copy + ": " + error.message();
        return false;
    }
    fs::create_directories(Folder() + "/data/applications", error);
    GiveToUser(Folder() + "/data");
    waylandDisplay_ = "wayland-1";
    std::string display = Folder() + "/display";
    std::vector<std::string> command{copy, "--virtual", "--no-lockscreen", "--socket",
                                     waylandDisplay_};
    if (options_.xwayland) {
        // KWin takes the options of the programs it starts for its own: a script.
        std::string script = Folder() + "/display.sh";
        WriteText(script, "#!/bin/sh\nprintenv DISPLAY XAUTHORITY > " + display + ".new\nmv " +
                              display + ".new " + display + "\n");
        fs::permissions(script, fs::perms::owner_all, error);
        GiveToUser(script);
        command.insert(command.end(), {"--xwayland", script});
    }
    std::vector<std::string> environment{"XDG_DATA_DIRS=" + Folder() + "/data:/usr/share"};
    if (!options_.layout.empty()) {
        environment.push_back("XKB_DEFAULT_LAYOUT=" + options_.layout);
    }
    if (!compositor_.Start(Command(command, environment))) {
        reason = "kwin_wayland could not be started";
        return false;
    }
    bool up = WaitUntil(
        [&] {
            return !compositor_.Running() || (Listening(RuntimeDir() + "/" + waylandDisplay_) &&
                                              (!options_.xwayland || fs::exists(display)));
        },
        20s);
    if (!up || !compositor_.Running()) {
        reason = "kwin_wayland did not come up within 20 s: " + compositor_.Errors();
        return false;
    }
    if (options_.xwayland) {
        std::ifstream(display) >> xDisplay_ >> xAuthority_;
    }
    return true;
}

bool WaylandSession::GrantFakeInput(const std::string& program, std::string& reason) const {
    std::error_code error;
    fs::path canonical = fs::canonical(program, error);
    std::string file =
        Folder() + "/data/applications/" + canonical.filename().string() + ".desktop";
    if (error ||
        !WriteText(file, "[Desktop Entry]\nType=Application\nName=" +
                             canonical.filename().string() + "\nExec=" + canonical.string() +
                             "\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n") ||
        !GiveToUser(file)) {
        reason = "the desktop file " + file + " could not be written";
        return false;
    }
    return true;
}

bool WaylandSession::SetLayout(const std::string& layout, std::string& reason) const {
    std::string folder = Folder() + "/home/.config";
    std::error_code error;
    fs::create_directories(folder, error);
    if (!WriteText(folder + "/kxkbrc", "[Layout]\nLayoutList=" + layout + "\nUse=true\n") ||
        !GiveToUser(folder)) {
        reason = "kxkbrc could not be written in " + folder;
        return false;
    }
    ChildResult sent = Run(
        {"dbus-send", "--session", "--type=signal", "/Layouts", "org.kde.keyboard.reloadConfig"});
    if (sent.status != 0) {
        reason = "dbus-send failed: " + sent.err;
        return false;
    }
    return true;
}

// A virtual keyboard that stays in the seat while the session lasts: wtype
// holding one and sleeping (a day), typing nothing.
bool WaylandSession::StartKeyboard(std::string& reason) {
    if (!Installed("wtype", reason)) {
        return false;
    }
    if (!keyboard_.Start(Command({"wtype", "-s", "86400000"})) ||
        !WaitUntil(
            [&] {
                return Run({"swaymsg", "-t", "get_inputs"}).out.find("\"keyboard\"") !=
                       std::string::npos;
            },
            10s)) {
        reason = "the seat got no keyboard from wtype within 10 s: " + keyboard_.Errors();
        return false;
    }
    return true;
}

bool WaylandSession::StartPanel(std::string& reason) {
    if (!Installed("waybar", reason)) {
        return false;
    }
    std::string config = Folder() + "/waybar.json";
    std::string style = Folder() + "/waybar.css";
    WriteText(config, R"({"position": "bottom", "height": 24, "modules-right": ["tray"],)"
                      R"( "tray": {"spacing": 4}})");
    WriteText(style, "* { font-size: 12px; }\n");
    GiveToUser(config);
    GiveToUser(style);
    std::string error;
    if (!panel_.Start(Command({"waybar", "-c", config, "-s", style})) ||
        !WaitUntil([&] { return RegisteredItems(error).has_value() || !panel_.Running(); }, 10s) ||
        !panel_.Running()) {
        reason = "waybar's tray answered no StatusNotifier call within 10 s: " + error + " " +
                 panel_.Errors();
        return false;
    }
    return true;
}

// sway sets DISPLAY for what it starts; a command it runs writes it down.
bool WaylandSession::FindXDisplay(std::string& reason) {
    std::string file = Folder() + "/display";
    Run({"swaymsg", "exec", "printenv DISPLAY > " + file + ".new && mv " + file + ".new " + file});
    if (!WaitUntil([&] { return fs::exists(file); }, 10s)) {
        reason = "sway set no DISPLAY for XWayland within 10 s";
        return false;
    }
    std::ifstream(file) >> xDisplay_;
    return !xDisplay_.empty();
}

std::vector<std::string>
WaylandSession::Command(const std::vector<std::string>& arguments,
                        const std::vector<std::string>& environment) const {
    std::vector<std::string> command;
    if (asNobody_) {
        command = {"/usr/bin/setpriv",
                   "--reuid=" + std::to_string(uid_),
                   "--regid=" + std::to_string(gid_),
                   "--clear-groups",
                   "--pdeathsig=KILL",
                   "--"};
    }
    command.insert(command.end(), {"/usr/bin/env", "-i"});
    std::vector<std::string> variables{"HOME=" + Folder() + "/home",
                                       "XDG_RUNTIME_DIR=" + RuntimeDir(), "LANG=C.UTF-8",
                                       "NO_AT_BRIDGE=1"};
    for (const char* inherited : {"PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (const char* value = std::getenv(inherited)) {
            variables.push_back(std::string(inherited) + "=" + value);
        }
    }
    for (auto [name, value] :
         {std::pair{"WAYLAND_DISPLAY", &waylandDisplay_},
          std::pair{"DBUS_SESSION_BUS_ADDRESS", &busAddress_}, std::pair{"SWAYSOCK", &swaySocket_},
          std::pair{"DISPLAY", &xDisplay_}, std::pair{"XAUTHORITY", &xAuthority_}}) {
        if (!value->empty()) {
            variables.push_back(std::string(name) + "=" + *value);
        }
    }
    // The caller's word last: "NAME=value" replaces, "NAME" removes.
    for (const std::string& change : environment) {
        std::string name = change.substr(0, change.find('='));
        std::erase_if(variables, [&](const std::string& v) { return v.rfind(name + "=", 0) == 0; });
        if (change.find('=') != std::string::npos) {
            variables.push_back(change);
        }
    }
    command.insert(command.end(), variables.begin(), variables.end());
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

std::unique_ptr<Process> WaylandSession::Launch(const std::vector<std::string>& arguments,
                                                const std::vector<std::string>& environment) const {
    auto process = std::make_unique<Process>();
    return process->Start(Command(arguments, environment)) ? std::move(process) : nullptr;
}

ChildResult WaylandSession::Run(const std::vector<std::string>& arguments,
                                std::chrono::milliseconds timeout) const {
    return test_support::Run(Command(arguments), timeout);
}

bool WaylandSession::GiveToUser(const std::string& path) const {
    if (!asNobody_) {
        return true;
    }
    bool given = ::lchown(path.c_str(), uid_, gid_) == 0;
    std::error_code error;
    if (fs::is_directory(fs::symlink_status(path, error))) {
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(path, error)) {
            given = ::lchown(entry.path().c_str(), uid_, gid_) == 0 && given;
        }
    }
    return given && !error;
}

std::string WaylandSession::Reachable(const std::string& program, std::string& reason) const {
    if (Run({"test", "-x", program}).status == 0) {
        return program;
    }
    // Closed to the session's user: a copy with the modules the program loads
    // from its own folder.
    std::string copies = Folder() + "/programs";
    std::error_code error;
    fs::create_directories(copies, error);
    fs::copy(program, copies, fs::copy_options::overwrite_existing, error);
    for (const fs::directory_entry& entry :
         fs::directory_iterator(fs::path(program).parent_path(), error)) {
        if (entry.path().extension() == ".so") {
            fs::copy(entry.path(), copies, fs::copy_options::overwrite_existing, error);
        }
    }
    std::string copy = copies + "/" + fs::path(program).filename().string();
    if (error || !GiveToUser(copies) || Run({"test", "-x", copy}).status != 0) {
        reason = program + " cannot be run as uid " + std::to_string(uid_) +
                 " and copying it failed: " + error.message();
        return "";
    }
    return copy;
}

std::string WaylandSession::Tree() const {
    ChildResult result = Run({"swaymsg", "-t", "get_tree"});
    return result.status == 0 ? result.out : "";
}

bool WaylandSession::WaitForWindow(const std::string& criteria,
                                   std::chrono::milliseconds timeout) const {
    // A command with criteria fails with "No matching node." while none matches.
    return WaitUntil(
        [&] {
            return Run({"swaymsg", "-q", "[" + criteria + "] nop"}).status == 0;
        },
        timeout);
}

std::optional<std::vector<std::string>> WaylandSession::RegisteredItems(std::string& error) const {
    ChildResult result = Run(
        {"gdbus", "call", "--session", "--dest", "org.kde.StatusNotifierWatcher", "--object-path",
         "/StatusNotifierWatcher", "--method", "org.freedesktop.DBus.Properties.Get",
         "org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems"});
    if (result.status != 0) {
        error = "gdbus call failed: " + result.err;
        return std::nullopt;
    }
    // "(<['item', 'item']>,)"; a bus name or object path holds no quote.
    std::vector<std::string> items;
    std::regex quoted("'([^']*)'");
    for (std::sregex_iterator it(result.out.begin(), result.out.end(), quoted), end; it != end;
         ++it) {
        items.push_back((*it)[1].str());
    }
    return items;
}

bool KeyRecorder::Start(const WaylandSession& session, std::string& reason) {
    if (!Installed("wev", reason)) {
        return false;
    }
    text_.clear();
    parsed_ = 0;
    pressed_ = false;
    // Line-buffered: wev's output is a pipe, which stdio would otherwise hold back.
    if (session.SwaySocket().empty()) {
        wev_ = session.Launch({"stdbuf", "-oL", "wev", "-f", "wl_keyboard:key", "-f",
                               "wl_keyboard:enter", "-f", "xdg_toplevel:configure"});
        std::regex sized("configure: width: [1-9]");
        if (wev_ && WaitUntil([&] { return std::regex_search(wev_->Output(), sized); }, 10s)) {
            return true;
        }
    } else {
        wev_ = session.Launch({"stdbuf", "-oL", "wev", "-f", "wl_keyboard:key"});
    }
    if (!wev_ || !session.WaitForWindow("app_id=\"^wev$\" con_id=__focused__", 10s)) {
        reason = "wev's window did not get the focus within 10 s: " +
                 (wev_ ? wev_->Errors() : std::string("not started"));
        return false;
    }
    return true;
}

bool KeyRecorder::WaitForKeyboard(std::chrono::milliseconds timeout) {
    return WaitUntil([&] { return wev_ && wev_->Output().find("] enter: ") != std::string::npos; },
                     timeout);
}

std::string KeyRecorder::Text() {
    // A press prints "... state: 1 (pressed)", then a line "sym: ..., utf8: 'é'".
    // Only the lines completed since the last call are read: a bench asks often
    // while thousands of keys arrive.
    if (!wev_) {
        return text_;
    }
    const std::string& output = wev_->Output();
    for (std::size_t end; (end = output.find('\n', parsed_)) != std::string::npos;
         parsed_ = end + 1) {
        std::string_view line(output.data() + parsed_, end - parsed_);
        std::size_t utf8 = line.find("utf8: '");
        if (line.find("(pressed)") != std::string_view::npos) {
            pressed_ = true;
        } else if (pressed_ && utf8 != std::string_view::npos && !line.empty() &&
                   line.back() == '\'') {
            text_ += line.substr(utf8 + 7, line.size() - utf8 - 8);
            pressed_ = false;
        }
    }
    return text_;
}

std::string KeyRecorder::WaitFor(const std::string& expected, std::chrono::milliseconds timeout) {
    WaitUntil([&] { return Text().size() >= expected.size(); }, timeout);
    return Text();
}

} // namespace wayland_test
