#include "desktop_session.h"

#include <cstdlib>

#include <gtest/gtest.h>
// After gtest: Xlib's None and Status macros would break its headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "platform/core/clock.h"
#include "platform/gtk/gtk_front_end.h"
#include "platform/windowing/message_loop.h"
#include "support/child_process.h"
#include "support/x_test_display.h"

namespace gtk_test {
namespace {

// An X client that appears as a window with the given class once it is up.
bool WaitForWindow(const std::string& className) {
    std::string command = "xdotool search --classname '" + className + "' >/dev/null 2>&1";
    return test_support::WaitUntil([&] { return std::system(command.c_str()) == 0; },
                                   std::chrono::seconds(10));
}

struct Session {
    std::string display;
    std::string failure;
    x_test::XvfbServer xvfb;
    test_support::Process windowManager;
    test_support::Process trayHost;
    bool windowManagerUp = false;
    bool trayHostUp = false;

    bool StartServer() {
        if (!xvfb.Start(failure, "1024x768x24")) {
            return false;
        }
        display = xvfb.Name();
        return true;
    }

    bool Start() {
        if (!StartServer()) {
            return false;
        }
        setenv("DISPLAY", display.c_str(), 1);
        // No accessibility bus in a test session: GTK would look for one.
        setenv("NO_AT_BRIDGE", "1", 1);
        // An X desktop whose tray is trayer's XEmbed one: no Wayland compositor
        // of the person running the tests, and no session bus whose StatusNotifier
        // watcher would take the tray icon.
        unsetenv("WAYLAND_DISPLAY");
        setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/swipetype-tests-no-bus", 1);
        std::string path;
        if (test_support::FindProgram("openbox", path)) {
            windowManagerUp = windowManager.Start(test_support::Quietly({path, "--sm-disable"})) &&
                              WaitForWindowManager(display);
        }
        if (test_support::FindProgram("trayer", path)) {
            trayHostUp = trayHost.Start(test_support::Quietly(
                             {path, "--edge", "bottom", "--align", "right", "--widthtype", "pixel",
                              "--width", "120", "--height", "24", "--SetDockType", "true"})) &&
                         WaitForWindow("trayer");
        }
        std::string error;
        if (!platform::StartGtkFrontEnd(error)) {
            failure = "the front end did not start: " + error;
            return false;
        }
        return true;
    }

    ~Session() {
        platform::StopGtkFrontEnd();
        trayHost.Stop();
        windowManager.Stop();
        xvfb.Stop();
    }
};

// Ends the session when the tests are over, before the program's statics (the
// window system's tables among them) are destroyed at exit.
class SessionEnd : public testing::Environment {
  public:
    explicit SessionEnd(Session* session) : session_(session) {}
    void TearDown() override { delete session_; }

  private:
    Session* session_;
};

Session& TheSession() {
    static Session* session = [] {
        auto* made = new Session;
        testing::AddGlobalTestEnvironment(new SessionEnd(made));
        return made;
    }();
    return *session;
}

} // namespace

// True once a window manager has taken the screen: it names its check window on
// the root window (_NET_SUPPORTING_WM_CHECK). Windows mapped before that are
// not managed, and a test that starts too soon sees them never laid out.
bool WaitForWindowManager(const std::string& display) {
    Display* connection = XOpenDisplay(display.c_str());
    if (connection == nullptr) {
        return false;
    }
    Atom check = XInternAtom(connection, "_NET_SUPPORTING_WM_CHECK", False);
    bool up = test_support::WaitUntil(
        [&] {
            Atom type = None;
            int format = 0;
            unsigned long items = 0;
            unsigned long after = 0;
            unsigned char* data = nullptr;
            bool named =
                XGetWindowProperty(connection, DefaultRootWindow(connection), check, 0, 1, False,
                                   XA_WINDOW, &type, &format, &items, &after, &data) == Success &&
                type == XA_WINDOW && items == 1;
            if (data != nullptr) {
                XFree(data);
            }
            return named;
        },
        std::chrono::seconds(10));
    XCloseDisplay(connection);
    return up;
}

const std::string* Desktop(std::string& reason) {
    static bool tried = false;
    static bool up = false;
    Session& session = TheSession();
    if (!tried) {
        tried = true;
        platform::UseRealClock();
        up = session.Start();
    }
    reason = session.failure;
    return up ? &session.display : nullptr;
}

bool HasWindowManager() {
    return TheSession().windowManagerUp;
}

bool HasTrayHost() {
    return TheSession().trayHostUp;
}

HINSTANCE TestInstance() {
    return reinterpret_cast<HINSTANCE>(0x400000);
}

bool ServeUntil(const std::function<bool()>& done, std::chrono::milliseconds timeLimit) {
    return test_support::WaitUntil(
        [&] {
            platform::ServiceWaitSources(std::chrono::milliseconds(10));
            platform::PumpMessages();
            return done();
        },
        timeLimit);
}

void Serve(std::chrono::milliseconds duration) {
    ServeUntil([] { return false; }, duration);
}

bool Xdotool(const std::vector<std::string>& arguments) {
    test_support::ChildResult result =
        test_support::RunServingLoop("/usr/bin/xdotool", arguments, std::chrono::seconds(10));
    return result.status == 0;
}

bool ClickAt(int x, int y, int count) {
    return Xdotool({"mousemove", std::to_string(x), std::to_string(y), "click", "--repeat",
                    std::to_string(count), "--delay", "80", "1"});
}

bool ClickCentre(const RECT& rect, int count) {
    return ClickAt(static_cast<int>((rect.left + rect.right) / 2),
                   static_cast<int>((rect.top + rect.bottom) / 2), count);
}

bool TypeText(const std::string& text) {
    return Xdotool({"type", "--delay", "20", text});
}

bool PressKey(const std::string& key) {
    return Xdotool({"key", key});
}

bool Screenshot(unsigned long xWindow, const std::string& path) {
    // -strip: no time stamps in the file, so that a picture unchanged is a file unchanged.
    std::vector<std::string> arguments{
        "-window", xWindow == 0 ? std::string("root") : std::to_string(xWindow), "-strip", path};
    test_support::ChildResult result =
        test_support::RunServingLoop("/usr/bin/import", arguments, std::chrono::seconds(10));
    return result.status == 0;
}

} // namespace gtk_test
