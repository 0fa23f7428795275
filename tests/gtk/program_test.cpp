// The real program with --ui gtk on the test desktop, used as a person would:
// the window and its dialog appear, "Enable" switches reading on and the tray
// picture follows, and the program ends in order. A screenshot of the options
// dialog goes to docs/screenshots/.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "desktop_session.h"
#include "support/child_process.h"
#include "support/temp_device_root.h"

namespace {

#if defined(SWIPETYPE_PATH) && defined(SWIPETYPE_SEND_PATH)

std::string RunTool(const std::string& path, const std::vector<std::string>& arguments) {
    test_support::ChildResult result = test_support::RunServingLoop(path, arguments);
    return result.status == 0 ? result.out : "(failed: " + result.err + ")";
}

std::string Trim(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    std::string id;
};

// X windows named exactly `name`, visible ones only, with their geometry.
std::vector<std::pair<std::string, Geometry>> VisibleWindows(const std::string& name) {
    std::vector<std::pair<std::string, Geometry>> found;
    std::istringstream ids(
        RunTool("/usr/bin/xdotool", {"search", "--onlyvisible", "--name", name}));
    for (std::string id; std::getline(ids, id);) {
        std::istringstream shape(RunTool("/usr/bin/xdotool", {"getwindowgeometry", "--shell", id}));
        Geometry geometry;
        for (std::string line; std::getline(shape, line);) {
            auto value = [&](const char* key) { return std::stoi(line.substr(std::strlen(key))); };
            if (line.rfind("X=", 0) == 0)
                geometry.x = value("X=");
            if (line.rfind("Y=", 0) == 0)
                geometry.y = value("Y=");
            if (line.rfind("WIDTH=", 0) == 0)
                geometry.width = value("WIDTH=");
            if (line.rfind("HEIGHT=", 0) == 0)
                geometry.height = value("HEIGHT=");
        }
        geometry.id = id;
        found.emplace_back(id, geometry);
    }
    return found;
}

// A click at a point of an X window's own area, wherever the window manager put it.
bool ClickInWindow(const std::string& window, int x, int y) {
    return gtk_test::Xdotool(
        {"mousemove", "--window", window, std::to_string(x), std::to_string(y), "click", "1"});
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

class ProgramTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string reason;
        if (gtk_test::Desktop(reason) == nullptr) {
            GTEST_SKIP() << reason;
        }
        if (!gtk_test::HasTrayHost()) {
            GTEST_SKIP() << "trayer is not installed (scripts/install-deps.sh)";
        }
        log_ = root_.Path() + "/events.log";
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    void Start() {
        std::vector<std::string> arguments{SWIPETYPE_PATH, "--root", root_.Path(), "--ui", "gtk",
                                           "--keys",       "none",   "--log",      log_};
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        ASSERT_EQ(posix_spawn(&pid_, SWIPETYPE_PATH, nullptr, nullptr, argv.data(), environ), 0);
    }
    std::string Send(const std::vector<std::string>& arguments) {
        std::vector<std::string> all{"--root", root_.Path()};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return Trim(RunTool(SWIPETYPE_SEND_PATH, all));
    }
    bool Exited(int& status) {
        int raw = 0;
        if (waitpid(pid_, &raw, WNOHANG) != pid_) {
            return false;
        }
        pid_ = -1;
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return true;
    }

    test_support::TempDeviceRoot root_;
    std::string log_;
    pid_t pid_ = -1;
};

TEST_F(ProgramTest, TheWindowAppearsAndEnableSwitchesReadingOn) {
    Start();
    // The main window: 240 pixels wide, the options dialog inside it.
    Geometry main;
    ASSERT_TRUE(gtk_test::ServeUntil(
        [&] {
            for (auto& [id, geometry] : VisibleWindows("^Swipetype$")) {
                if (geometry.width == 240) {
                    main = geometry;
                    return true;
                }
            }
            return false;
        },
        std::chrono::seconds(10)))
        << "the main window did not appear";
    gtk_test::Serve(std::chrono::milliseconds(500));
    std::string shots = std::string(SWIPETYPE_SOURCE_DIR) + "/docs/screenshots/";
    auto windows = VisibleWindows("^Swipetype$");
    for (auto& [id, geometry] : windows) {
        if (geometry.width == 240) {
            EXPECT_TRUE(gtk_test::Screenshot(std::stoul(id), shots + "options-dialog.png"));
        }
    }
    // "Enable" (control 1003 at 98..150 x 6..28 in the dialog) switches reading
    // on; the tray picture becomes 102.
    EXPECT_EQ(Send({"--control", "1003", "BM_GETCHECK"}), "0");
    ASSERT_TRUE(ClickInWindow(main.id, 124, 17));
    EXPECT_TRUE(gtk_test::ServeUntil([&] {
        return Send({"--control", "1003", "BM_GETCHECK"}) == "1";
    }));
    EXPECT_TRUE(gtk_test::ServeUntil([&] {
        return ReadFile(log_).find("\"op\":\"add\",\"icon\":102") != std::string::npos;
    })) << ReadFile(log_);
    // SIGTERM ends the program the orderly way, as "Exit" does.
    ASSERT_EQ(kill(pid_, SIGTERM), 0);
    int status = -1;
    EXPECT_TRUE(gtk_test::ServeUntil([&] { return Exited(status); }, std::chrono::seconds(5)))
        << "Exit did not end the program";
    EXPECT_EQ(status, 0);
    std::string events = ReadFile(log_);
    EXPECT_NE(events.find("\"op\":\"delete\""), std::string::npos) << events;
    std::string hive = ReadFile(root_.Path() + "/registry/HKEY_LOCAL_MACHINE.reg");
    EXPECT_NE(hive.find("\"Enable\"=dword:00000001"), std::string::npos) << hive;
}

#endif

} // namespace
