// The real program with --ui gtk on the test desktop (openbox and a tray host),
// the reader simulator as COM1:, used with mouse and keyboard through xdotool as
// a person would: the options dialog, a swipe typed with the prefix typed into
// it, OK, the idle program's CPU and the tray popup (chosen from and dismissed),
// a desktop without a tray, the menu bar, About, minimising and closing,
// "Exit". Screenshots of the options dialog, the tray popup and About go to the
// build folder's screenshots/ (`make screenshots` copies them for the README).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <signal.h>
#include <sstream>

#include "desktop_session.h"
#include "e2e/program_fixture.h"
#include "options_template.h"
#include "platform/gtk/tray_mirror.h"
#include "support/child_process.h"
#include "support/scoped_environment.h"
#include "support/x_test_display.h"
// After gtest: Xlib's None and Status macros would break its headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

#if defined(SWIPETYPE_PATH) && defined(SWIPETYPE_SEND_PATH) && defined(SWIPETYPE_SIM_PATH)

using namespace std::chrono_literals;

constexpr char kSwipe[] = "%B4111111111111111^DOE/J^2512?;4111111111111111=2512?";

// Where an X window is on the screen, by the X server's own account (the window
// manager's frame excluded).
struct ScreenWindow {
    unsigned long id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool overrideRedirect = false;
};

// A connection of the test's own to the desktop, for what xdotool cannot tell.
class XConnection {
  public:
    explicit XConnection(const char* name = nullptr) : display_(XOpenDisplay(name)) {}
    ~XConnection() {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
    }
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    std::optional<ScreenWindow> Viewable(unsigned long id) {
        XWindowAttributes attributes{};
        if (display_ == nullptr || XGetWindowAttributes(display_, id, &attributes) == 0 ||
            attributes.map_state != IsViewable) {
            return std::nullopt;
        }
        ScreenWindow window{
            id, 0, 0, attributes.width, attributes.height, attributes.override_redirect != 0};
        Window child = 0;
        XTranslateCoordinates(display_, id, DefaultRootWindow(display_), 0, 0, &window.x, &window.y,
                              &child);
        return window;
    }

    // Menus are the program's override-redirect windows at the top of the screen's
    // window tree (a tooltip is one too, but one line high).
    std::optional<ScreenWindow> OpenMenu() {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        std::optional<ScreenWindow> found;
        XSync(display_, False);
        if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count) !=
            0) {
            for (unsigned int i = 0; i < count; ++i) {
                std::optional<ScreenWindow> window = Viewable(children[i]);
                if (window && window->overrideRedirect && window->height > 50 && window->x >= 0 &&
                    window->y >= 0) {
                    found = window;
                }
            }
            XFree(children);
        }
        return found;
    }

    // What the window manager's close button sends to a window.
    void AskToClose(unsigned long id) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = id;
        event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, id, False, NoEventMask, &event);
        XFlush(display_);
    }

    // The ICCCM state the window manager gives a client window (WM_STATE):
    // NormalState, IconicState, or WithdrawnState when it has none.
    long WmState(unsigned long id) {
        Atom property = XInternAtom(display_, "WM_STATE", False);
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        long state = WithdrawnState;
        if (XGetWindowProperty(display_, id, property, 0, 2, False, property, &type, &format,
                               &items, &after, &data) == Success &&
            items >= 1 && format == 32) {
            state = *reinterpret_cast<long*>(data);
        }
        if (data != nullptr) {
            XFree(data);
        }
        return state;
    }

    bool Usable() const { return display_ != nullptr; }

  private:
    Display* display_;
};

std::vector<unsigned long> WindowsNamed(const std::string& pattern, bool onlyVisible = true) {
    std::vector<std::string> arguments{"search", "--name", pattern};
    if (onlyVisible) {
        arguments.insert(arguments.begin() + 1, "--onlyvisible");
    }
    test_support::ChildResult result = test_support::RunServingLoop("/usr/bin/xdotool", arguments);
    std::vector<unsigned long> ids;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        ids.push_back(std::stoul(line));
    }
    return ids;
}

class DesktopProgramTest : public e2e::ProgramTest {
  protected:
    void SetUp() override {
        std::string reason;
        if (gtk_test::Desktop(reason) == nullptr) {
            GTEST_SKIP() << reason;
        }
        if (!gtk_test::HasWindowManager() || !gtk_test::HasTrayHost()) {
            GTEST_SKIP() << "openbox and trayer are needed (scripts/install-deps.sh)";
        }
        x_.emplace();
        ASSERT_TRUE(x_->Usable());
        e2e::ProgramTest::SetUp();
        ui_ = "gtk";
        // The program's GTK settings: a caret that does not blink and check marks
        // that do not fade in, so that the screenshots come out the same each time.
        std::filesystem::create_directories(dir_ / "config" / "gtk-3.0");
        std::ofstream(dir_ / "config" / "gtk-3.0" / "settings.ini")
            << "[Settings]\ngtk-cursor-blink=false\ngtk-enable-animations=false\n";
        const char* config = std::getenv("XDG_CONFIG_HOME");
        savedConfig_ = config != nullptr ? std::optional<std::string>(config) : std::nullopt;
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    }
    void TearDown() override {
        if (savedConfig_) {
            setenv("XDG_CONFIG_HOME", savedConfig_->c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
        e2e::ProgramTest::TearDown();
    }

    // Starts the program with the simulated reader and waits for its window.
    void StartOnDesktop() {
        ASSERT_NO_FATAL_FAILURE(StartSimulator("msr"));
        ASSERT_NO_FATAL_FAILURE(StartProgram());
        std::optional<ScreenWindow> window;
        ASSERT_TRUE(e2e::WaitUntil([&] { return (window = MainWindow()).has_value(); }, 10s))
            << "the main window did not appear: " << program_.Errors();
        main_ = *window;
        // Until the window manager has given it the focus, keys would go elsewhere.
        std::this_thread::sleep_for(300ms);
    }

    // The main window (240 pixels wide, the options dialog inside), when shown
    // on the test desktop or on `x`.
    std::optional<ScreenWindow> MainWindow(XConnection* x = nullptr) {
        for (unsigned long id : WindowsNamed("^Swipetype$")) {
            std::optional<ScreenWindow> window = (x != nullptr ? x : &*x_)->Viewable(id);
            if (window && window->width == 240) {
                return window;
            }
        }
        return std::nullopt;
    }

    // The tray icon as the tray host shows it.
    std::optional<ScreenWindow> TrayIcon() {
        for (unsigned long id : WindowsNamed("^Swipetype$")) {
            std::optional<ScreenWindow> window = x_->Viewable(id);
            // Laid out by the tray host: a new icon is 1 x 1 until then.
            if (window && window->width >= 8 && window->width < 40 && window->height >= 8 &&
                window->height < 40) {
                return window;
            }
        }
        return std::nullopt;
    }

    bool ClickControl(int id) {
        gtk_test::Point centre = gtk_test::ControlCentre(id);
        return gtk_test::ClickAt(main_.x + centre.x, main_.y + centre.y);
    }

    bool ClickTrayIcon() {
        std::optional<ScreenWindow> icon;
        if (!e2e::WaitUntil([&] { return (icon = TrayIcon()).has_value(); })) {
            return false;
        }
        return gtk_test::ClickAt(icon->x + icon->width / 2, icon->y + icon->height / 2);
    }

    // Waits for a menu of three items to open and clicks the one at `index`.
    bool ChooseFromMenu(int index, const std::string& screenshot = {}) {
        std::optional<ScreenWindow> menu;
        if (!e2e::WaitUntil([&] { return (menu = x_->OpenMenu()).has_value(); })) {
            ADD_FAILURE() << "no menu opened";
            return false;
        }
        std::this_thread::sleep_for(200ms); // drawn, and GTK's grab in place
        if (!screenshot.empty()) {
            EXPECT_TRUE(gtk_test::Screenshot(menu->id, screenshot));
        }
        int itemY = menu->y + menu->height * (2 * index + 1) / 6;
        return gtk_test::ClickAt(menu->x + menu->width / 2, itemY);
    }

    std::string ControlText(int id) {
        return Send({"--control", std::to_string(id), "WM_GETTEXT"}).out;
    }
    std::string Check(int id) { return Send({"--control", std::to_string(id), "BM_GETCHECK"}).out; }
    bool Hidden() {
        return e2e::WaitUntil([&] { return !MainWindow().has_value(); });
    }

    static std::string Screenshots() {
        std::filesystem::create_directories(SWIPETYPE_SCREENSHOT_DIR);
        return SWIPETYPE_SCREENSHOT_DIR "/";
    }

    std::optional<XConnection> x_; // once DISPLAY names the test desktop
    std::optional<std::string> savedConfig_;
    ScreenWindow main_;
};

TEST_F(DesktopProgramTest, APrefixTypedIntoTheDialogGoesBeforeTheSwipeOnceEnabled) {
    ASSERT_NO_FATAL_FAILURE(StartOnDesktop());
    EXPECT_TRUE(gtk_test::Screenshot(main_.id, Screenshots() + "options-dialog.png"));
    // The dialog gives its focus to the Prefix box: typing goes there at once.
    ASSERT_TRUE(gtk_test::TypeText("ID:"));
    EXPECT_TRUE(e2e::WaitUntil([&] { return ControlText(IDC_PREFIX) == "ID:\n"; }))
        << ControlText(IDC_PREFIX);
    // "Enable" switches reading on, and the tray picture becomes the "reading enabled" icon.
    EXPECT_EQ(Check(IDC_READING_ENABLE), "0\n");
    ASSERT_TRUE(ClickControl(IDC_READING_ENABLE));
    EXPECT_TRUE(e2e::WaitUntil([&] { return Check(IDC_READING_ENABLE) == "1\n"; }));
    EXPECT_TRUE(e2e::WaitUntil([&] {
        return e2e::ReadFile(log_).find("\"op\":\"add\",\"icon\":" +
                                        std::to_string(IDI_READING_ENABLED)) != std::string::npos;
    })) << e2e::ReadFile(log_);
    sim_.Write(std::string(kSwipe) + "\n");
    EXPECT_TRUE(e2e::WaitUntil([&] {
        return program_.Output().find("ID:B4111111111111111^DOE/J^2512") != std::string::npos;
    })) << program_.Output();
    // A prefix changed by a click into the box and more typing is used at the next swipe.
    ASSERT_TRUE(ClickControl(IDC_PREFIX));
    ASSERT_TRUE(gtk_test::TypeText("2"));
    EXPECT_TRUE(e2e::WaitUntil([&] { return ControlText(IDC_PREFIX) == "ID:2\n"; }))
        << ControlText(IDC_PREFIX);
    sim_.Write(std::string(kSwipe) + "\n");
    EXPECT_TRUE(e2e::WaitUntil([&] {
        return program_.Output().find("ID:2B4111111111111111^DOE/J^2512") != std::string::npos;
    })) << program_.Output();
}

// OK hides the window, and the idle program in the tray sleeps; the tray popup
// closes on a click outside it choosing nothing, its Show brings the window back
// where it was, and it opens About (closed with Enter).
TEST_F(DesktopProgramTest, OkLeavesTheProgramAsleepInTheTrayWhosePopupWorks) {
    ASSERT_NO_FATAL_FAILURE(StartOnDesktop());
    ASSERT_TRUE(ClickControl(IDC_INPUT_MSR /* MSR: changes nothing */));
    ASSERT_TRUE(ClickControl(IDC_OK));
    EXPECT_TRUE(Hidden()) << "OK left the window shown";
    EXPECT_NE(Hive().find("\"UseMSR\"=dword:00000001"), std::string::npos) << "OK did not save";
    EXPECT_TRUE(program_.Running());
    // Past the one check, 3 s after start, of whether a tray host took the icon.
    std::this_thread::sleep_until(started_ + 4s);
    std::chrono::nanoseconds used = CpuUsedIn(3s);
    EXPECT_LT(used * 1000, 3s) // under 0.1 % of a core
        << std::chrono::duration_cast<std::chrono::microseconds>(used).count()
        << " µs of CPU in 3 s";

    // A tap on the tray icon while the window is hidden opens the popup.
    ASSERT_TRUE(ClickTrayIcon());
    std::optional<ScreenWindow> menu;
    ASSERT_TRUE(e2e::WaitUntil([&] { return (menu = x_->OpenMenu()).has_value(); }));
    std::this_thread::sleep_for(200ms);
    ASSERT_TRUE(gtk_test::ClickAt(600, 400));
    EXPECT_TRUE(e2e::WaitUntil([&] { return !x_->OpenMenu().has_value(); })) << "still open";
    EXPECT_EQ(Send({"--menu", "0"}).status, 1) << "the program still tracks a menu";
    EXPECT_FALSE(MainWindow().has_value()) << "nothing was chosen, yet the window showed";
    EXPECT_TRUE(program_.Running());

    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(ClickTrayIcon());
    ASSERT_TRUE(ChooseFromMenu(0 /* Show */, Screenshots() + "tray-popup.png"));
    std::optional<ScreenWindow> shown;
    ASSERT_TRUE(e2e::WaitUntil([&] { return (shown = MainWindow()).has_value(); }))
        << "Show did not bring the window back";
    EXPECT_EQ(shown->x, main_.x) << "the window came back elsewhere";
    EXPECT_EQ(shown->y, main_.y);

    ASSERT_TRUE(ClickControl(IDC_OK));
    ASSERT_TRUE(Hidden());
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(ClickTrayIcon());
    ASSERT_TRUE(ChooseFromMenu(1 /* About */));
    ASSERT_TRUE(e2e::WaitUntil([&] { return !WindowsNamed("^About Swipetype$").empty(); }))
        << "no About dialog";
    std::this_thread::sleep_for(300ms);
    // Its OK button has the focus; Enter presses it and the dialog ends.
    ASSERT_TRUE(gtk_test::PressKey("Return"));
    EXPECT_TRUE(e2e::WaitUntil([&] { return WindowsNamed("^About Swipetype$").empty(); }))
        << "Enter did not end About";
    EXPECT_EQ(Check(IDC_READING_DISABLE), "1\n") << "the program no longer answers";
}

// About from the menu bar ends with its close button and with its caption's OK;
// Exit from the menu bar ends the program in order.
TEST_F(DesktopProgramTest, AboutAndExitFromTheMenuBar) {
    ASSERT_NO_FATAL_FAILURE(StartOnDesktop());
    for (bool closeButton : {true, false}) {
        SCOPED_TRACE(closeButton ? "the close button" : "the caption's OK");
        ASSERT_TRUE(gtk_test::ClickAt(main_.x + 30, main_.y + main_.height - 12));
        ASSERT_TRUE(ChooseFromMenu(0 /* About */));
        std::optional<ScreenWindow> about;
        ASSERT_TRUE(e2e::WaitUntil([&] {
            std::vector<unsigned long> ids = WindowsNamed("^About Swipetype$");
            return !ids.empty() && (about = x_->Viewable(ids.front())).has_value();
        })) << "no About dialog";
        std::this_thread::sleep_for(300ms);
        if (closeButton) {
            // The close button of a dialog with an OK button in its caption is that button.
            x_->AskToClose(about->id);
        } else {
            EXPECT_TRUE(gtk_test::Screenshot(about->id, Screenshots() + "about.png"));
            // The caption's OK sits at the right end of the dialog's header bar.
            ASSERT_TRUE(gtk_test::ClickAt(about->x + about->width - 37, about->y + 26));
        }
        EXPECT_TRUE(e2e::WaitUntil([&] { return WindowsNamed("^About Swipetype$").empty(); }))
            << "About did not end";
        EXPECT_TRUE(MainWindow().has_value());
        EXPECT_TRUE(program_.Running());
        std::this_thread::sleep_for(300ms);
    }
    ASSERT_TRUE(ClickControl(IDC_BEEP_ENABLE /* Beep: Enable */));
    // The "Options" button sits at the bottom left of the window.
    ASSERT_TRUE(gtk_test::ClickAt(main_.x + 30, main_.y + main_.height - 12));
    ASSERT_TRUE(ChooseFromMenu(2 /* Exit */));
    EXPECT_EQ(program_.Wait(5s), std::optional<int>(0)) << program_.Errors();
    std::vector<std::string> tray = LogLines("tray");
    ASSERT_FALSE(tray.empty());
    EXPECT_NE(tray.back().find("\"op\":\"delete\""), std::string::npos) << tray.back();
    EXPECT_FALSE(MainWindow().has_value());
    EXPECT_FALSE(TrayIcon().has_value());
}

TEST_F(DesktopProgramTest, MinimisingOrClosingTheWindowHidesItAndSaves) {
    ASSERT_NO_FATAL_FAILURE(StartOnDesktop());
    ASSERT_TRUE(ClickControl(IDC_SEND_TAB /* TAB */));
    EXPECT_TRUE(e2e::WaitUntil([&] { return Check(IDC_SEND_TAB) == "1\n"; }));
    ASSERT_TRUE(gtk_test::Xdotool({"windowminimize", std::to_string(main_.id)}));
    EXPECT_TRUE(Hidden()) << "minimised, the window should go to the tray";
    // The window manager unmaps a minimised window before the program hears of it.
    EXPECT_TRUE(e2e::WaitUntil([&] {
        return Hive().find("\"SendTab\"=dword:00000001") != std::string::npos;
    })) << "minimising did not save";
    // A second start brings the window back, and the close button hides it again.
    e2e::Process second;
    ASSERT_TRUE(second.Start(ProgramArguments({})));
    EXPECT_EQ(second.Wait(10s), std::optional<int>(0)) << second.Errors();
    std::optional<ScreenWindow> shown;
    ASSERT_TRUE(e2e::WaitUntil([&] { return (shown = MainWindow()).has_value(); }));
    x_->AskToClose(shown->id);
    EXPECT_TRUE(Hidden()) << "the close button should hide the window";
    EXPECT_TRUE(program_.Running()) << "the close button ended the program";
}

// A hidden start on a desktop of its own with a window manager but no tray
// (no XEmbed host, a session bus without a StatusNotifier watcher): the window
// stays in the task list, minimised, and that is said once, in the event log and
// as a desktop notification (python3-dbusmock's notification service). Brought
// back by the window manager, it is shown; OK puts it back in the task list; a
// tray host that starts takes it from there.
TEST_F(DesktopProgramTest, WithoutATrayAHiddenStartStaysMinimisedInTheTaskList) {
    std::string reason;
    x_test::XvfbServer bare;
    ASSERT_TRUE(bare.Start(reason, "800x600x24")) << reason;
    test_support::ScopedEnvironment display("DISPLAY", bare.Name().c_str());
    e2e::Process windowManager;
    ASSERT_TRUE(windowManager.Start(test_support::Quietly({"/usr/bin/openbox", "--sm-disable"})));
    ASSERT_TRUE(gtk_test::WaitForWindowManager(bare.Name()));
    e2e::Process bus;
    ASSERT_TRUE(bus.Start({"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address"}));
    ASSERT_TRUE(e2e::WaitUntil([&] { return bus.Output().find('\n') != std::string::npos; }));
    test_support::ScopedEnvironment address(
        "DBUS_SESSION_BUS_ADDRESS", bus.Output().substr(0, bus.Output().find('\n')).c_str());
    std::string notified = (dir_ / "notified.log").string();
    e2e::Process service;
    ASSERT_TRUE(service.Start({"/usr/bin/python3", "-m", "dbusmock", "--template",
                               "notification_daemon", "-l", notified}));
    ASSERT_TRUE(e2e::WaitUntil([&] { return std::filesystem::exists(notified); }, 10s))
        << service.Errors();
    XConnection bareX(bare.Name().c_str());
    ASSERT_NO_FATAL_FAILURE(StartProgram({"MIN"}));
    // The one window of the program that the window manager manages.
    unsigned long main = 0;
    ASSERT_TRUE(e2e::WaitUntil([&] {
        for (unsigned long id : WindowsNamed("^Swipetype$", false)) {
            main = bareX.WmState(id) == IconicState ? id : main;
        }
        return main != 0;
    })) << "not minimised in the task list: "
        << program_.Errors();

    const std::string notice = platform::gtk_front_end::kNoTrayNotice;
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::Count(e2e::ReadFile(notified), notice) == 1; }))
        << e2e::ReadFile(notified);
    auto said = [&] {
        return e2e::Count(e2e::ReadFile(log_), "\"event\":\"notice\",\"text\":\"" + notice);
    };
    EXPECT_EQ(said(), 1u) << e2e::ReadFile(log_);

    // A person's click comes well after the half second in which the program
    // takes a restore for the window manager settling the new window.
    std::this_thread::sleep_for(600ms);
    ASSERT_TRUE(gtk_test::Xdotool({"windowactivate", std::to_string(main)}));
    EXPECT_TRUE(e2e::WaitUntil([&] { return MainWindow(&bareX).has_value(); }));
    EXPECT_EQ(Send({"--control", std::to_string(IDC_OK), "BM_CLICK"}).status, 0);
    EXPECT_TRUE(e2e::WaitUntil([&] { return bareX.WmState(main) == IconicState; }))
        << "OK did not put the window back in the task list";
    EXPECT_EQ(said(), 1u) << "said more than once";
    // A tray that comes takes the window off the task list.
    e2e::Process trayHost;
    ASSERT_TRUE(
        trayHost.Start(test_support::Quietly({"/usr/bin/trayer", "--SetDockType", "true"})));
    EXPECT_TRUE(e2e::WaitUntil([&] { return bareX.WmState(main) == WithdrawnState; }))
        << "still in the task list with a tray there";
}

// The processes whose environment holds `marker`: the program and what it or its
// libraries started.
std::vector<int> MarkedProcesses(const std::string& marker) {
    std::vector<int> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream environment(entry.path() / "environ");
        std::string text((std::istreambuf_iterator<char>(environment)), {});
        if (text.find(marker) != std::string::npos) {
            found.push_back(std::stoi(entry.path().filename()));
        }
    }
    return found;
}

// A line of /proc/PID/status, such as "SigBlk:\t0000000000000000".
std::string StatusLine(int pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line) && line.rfind(field + ":", 0) != 0) {
    }
    return line;
}

// Without a session bus GLib starts one (dbus-launch, dbus-daemon, the
// accessibility bus): each of them starts with no signal blocked, so that SIGTERM
// ends it as it ends any process.
TEST_F(DesktopProgramTest, WhatItsLibrariesStartHasNoSignalBlocked) {
    const std::string mark = std::to_string(getpid());
    using Env = test_support::ScopedEnvironment;
    Env marker("SWIPETYPE_SPAWN_MARK", mark.c_str()), bus("DBUS_SESSION_BUS_ADDRESS", nullptr),
        bridge("NO_AT_BRIDGE", nullptr), runtime("XDG_RUNTIME_DIR", dir_.c_str()),
        home("HOME", dir_.c_str());
    StartProgram();
    auto busRuns = [&] {
        std::vector<int> marked = MarkedProcesses("SWIPETYPE_SPAWN_MARK=" + mark);
        return std::any_of(marked.begin(), marked.end(),
                           [](int pid) { return StatusLine(pid, "Name") == "Name:\tdbus-daemon"; });
    };
    EXPECT_TRUE(e2e::WaitUntil(busRuns, 10s)) << "no session bus was started";
    Terminate();
    for (int pid : MarkedProcesses("SWIPETYPE_SPAWN_MARK=" + mark)) {
        EXPECT_EQ(StatusLine(pid, "SigBlk"), "SigBlk:\t0000000000000000")
            << StatusLine(pid, "Name");
        kill(pid, SIGKILL); // the bus is bound to the shared test display
    }
}

#endif

} // namespace
