// The desktop front end on a Wayland desktop of its own (sway headless, a private
// session bus, waybar as the panel): the real program with --ui gtk as a Wayland
// client, its tray icon a StatusNotifierItem that waybar's watcher holds, reached
// over D-Bus as the panel reaches it.
#include <regex>

#include "e2e/program_fixture.h"
#include "res/resource_ids.h"
#include "support/wayland_session.h"

namespace e2e {
namespace {

// An ARGB32 pixmap's opaque pixels of a colour: red for picture 103 (reading
// off, a red stroke), green for picture 102 (reading on, a green tick).
struct Colours {
    int red = 0;
    int green = 0;
};

class WaylandDesktopTest : public ProgramTest {
  protected:
    void StartDesktop(bool panel, bool xwayland = false) {
        std::string reason;
        if (!session_.Start({.panel = panel, .xwayland = xwayland}, reason)) {
            GTEST_SKIP() << reason;
        }
        program_path_ = session_.Reachable(SWIPETYPE_PATH, reason);
        ASSERT_FALSE(program_path_.empty()) << reason;
        ASSERT_TRUE(session_.GiveToUser(dir_.string()));
        sendWrapper_ = session_.Command({});
        send_path_ = session_.Reachable(SWIPETYPE_SEND_PATH, reason);
        ASSERT_FALSE(send_path_.empty()) << reason;
        keys_ = "none";
        ui_ = "gtk";
    }

    void StartInSession(const std::vector<std::string>& environment = {}) {
        wrapper_ = session_.Command({}, environment);
        ASSERT_NO_FATAL_FAILURE(StartProgram());
    }

    // The bus name of the program's item once the panel's watcher holds it.
    std::string RegisteredItem() {
        std::string error, found;
        WaitUntil(
            [&] {
                for (const std::string& item :
                     session_.RegisteredItems(error).value_or(std::vector<std::string>{})) {
                    if (item.rfind("org.kde.StatusNotifierItem-", 0) == 0) {
                        found = item.substr(0, item.find('/'));
                    }
                }
                return !found.empty();
            },
            10s);
        return found;
    }

    SendResult Call(const std::string& item, const std::string& path, const std::string& method,
                    const std::vector<std::string>& arguments) {
        std::vector<std::string> command = {"gdbus",         "call", "--session", "--dest", item,
                                            "--object-path", path,   "--method",  method,   "--"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return session_.Run(command);
    }

    // The item's picture as gdbus prints it: "(<[(16, 16, [byte 0xff, ...])]>,)".
    Colours Picture(const std::string& item) {
        SendResult got = Call(item, "/StatusNotifierItem", "org.freedesktop.DBus.Properties.Get",
                              {"org.kde.StatusNotifierItem", "IconPixmap"});
        EXPECT_EQ(got.status, 0) << got.err;
        EXPECT_NE(got.out.find("(16, 16, [byte "), std::string::npos) << got.out;
        std::vector<int> bytes;
        std::regex hex("0x([0-9a-f]{2})");
        for (std::sregex_iterator it(got.out.begin(), got.out.end(), hex), end; it != end; ++it) {
            bytes.push_back(std::stoi((*it)[1].str(), nullptr, 16));
        }
        EXPECT_EQ(bytes.size(), 16u * 16u * 4u);
        Colours colours;
        for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
            int alpha = bytes[i], red = bytes[i + 1], green = bytes[i + 2], blue = bytes[i + 3];
            colours.red += alpha == 0xFF && red > 150 && green < 100 && blue < 100;
            colours.green += alpha == 0xFF && green > 120 && red < 100;
        }
        return colours;
    }

    wayland_test::WaylandSession session_;
};

// The item is preferred on an X display too: the program as an X client of
// XWayland, with the same panel.
class ItemOnEitherDisplay : public WaylandDesktopTest, public testing::WithParamInterface<bool> {};

TEST_P(ItemOnEitherDisplay, TheItemIsInThePanelAndItsPictureFollowsEnable) {
    bool x11 = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartDesktop(true, x11));
    ASSERT_NO_FATAL_FAILURE(StartInSession(
        x11 ? std::vector<std::string>{"WAYLAND_DISPLAY", "DISPLAY=" + session_.XDisplay()}
            : std::vector<std::string>{}));
    std::string item = RegisteredItem();
    ASSERT_FALSE(item.empty()) << program_.Errors();
    auto signals = session_.Launch(
        {"dbus-monitor", "--session", "type='signal',sender='" + item + "',member='NewIcon'"});
    // A monitor first hears the bus take back its name.
    WaitUntil([&] { return Count(signals->Output(), "member=NameLost") > 0; }, 10s);
    Colours off = Picture(item);
    EXPECT_TRUE(off.red > 0 && off.green == 0) << off.red << " red, " << off.green << " green";
    std::size_t announced = 0;
    for (const char* control : {"1003", "1004"}) {
        ASSERT_EQ(Send({"--control", control, "BM_CLICK"}).status, 0);
        Colours now = Picture(item);
        bool on = std::string(control) == "1003";
        EXPECT_EQ(now.green > 0, on) << control;
        EXPECT_EQ(now.red > 0, !on) << control;
        // The panel hears of it: one NewIcon each time.
        ++announced;
        WaitUntil([&] { return Count(signals->Output(), "member=NewIcon") >= announced; }, 10s);
        EXPECT_EQ(Count(signals->Output(), "member=NewIcon"), announced) << signals->Output();
    }
}

INSTANTIATE_TEST_SUITE_P(Displays, ItemOnEitherDisplay, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "X11" : "Wayland";
                         });

// A panel started after the program still gets the item; Activate (the double
// tap) shows the hidden window, and About chosen in the exported menu opens.
TEST_F(WaylandDesktopTest, ALatePanelGetsTheItemWhoseActivateAndMenuReachTheWindows) {
    ASSERT_NO_FATAL_FAILURE(StartDesktop(false));
    ASSERT_NO_FATAL_FAILURE(StartInSession());
    ASSERT_TRUE(session_.WaitForWindow("app_id=\"^swipetype$\"", 10s));
    std::string reason;
    ASSERT_TRUE(session_.StartPanel(reason)) << reason;
    std::string item = RegisteredItem();
    ASSERT_FALSE(item.empty()) << program_.Errors();
    // Minimised, the window is hidden: the program is left in the tray.
    ASSERT_EQ(Send({"--post", "WM_SIZE", "1"}).status, 0);
    WaitUntil([&] { return session_.Tree().find("\"swipetype\"") == std::string::npos; }, 10s);
    ASSERT_EQ(session_.Tree().find("\"swipetype\""), std::string::npos) << "still shown";
    SendResult activated =
        Call(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem.Activate", {"0", "0"});
    ASSERT_EQ(activated.status, 0) << activated.err;
    EXPECT_TRUE(session_.WaitForWindow("app_id=\"^swipetype$\" title=\"^Swipetype$\"", 10s));
    EXPECT_NE(Send({"--menu", "0"}).status, 0) << "the double tap opens no popup";

    SendResult menu = Call(item, "/StatusNotifierItem", "org.freedesktop.DBus.Properties.Get",
                           {"org.kde.StatusNotifierItem", "Menu"});
    std::smatch path;
    ASSERT_TRUE(std::regex_search(menu.out, path, std::regex("objectpath '([^']+)'"))) << menu.out;
    // As the panel draws it: the layout, then a click on the item labelled About.
    SendResult layout = Call(item, path[1], "com.canonical.dbusmenu.GetLayout", {"0", "-1", "[]"});
    std::smatch about;
    ASSERT_TRUE(
        std::regex_search(layout.out, about, std::regex(R"(\((\d+), \{'label': <'_?About'>)")))
        << layout.out;
    EXPECT_NE(layout.out.find("'Show'"), std::string::npos);
    EXPECT_NE(layout.out.find("'Exit'"), std::string::npos);
    SendResult clicked =
        Call(item, path[1], "com.canonical.dbusmenu.Event", {about[1], "clicked", "<0>", "0"});
    ASSERT_EQ(clicked.status, 0) << clicked.err;
    EXPECT_TRUE(session_.WaitForWindow("app_id=\"^swipetype$\" title=\"^About Swipetype$\"", 10s))
        << session_.Tree();
}

TEST_F(WaylandDesktopTest, LosingTheCompositorEndsTheProgramInOrder) {
    ASSERT_NO_FATAL_FAILURE(StartDesktop(false));
    ASSERT_NO_FATAL_FAILURE(StartInSession());
    ASSERT_TRUE(session_.WaitForWindow("app_id=\"^swipetype$\"", 10s));
    ASSERT_EQ(Send({"--control", std::to_string(IDC_READING_ENABLE), "BM_CLICK"}).status, 0);
    session_.StopCompositor();
    EXPECT_EQ(program_.Wait(10s), 0) << program_.Errors();
    EXPECT_NE(program_.Errors().find("the connection to the Wayland compositor"), std::string::npos)
        << program_.Errors();
    EXPECT_NE(Hive().find("\"Enable\"=dword:00000001"), std::string::npos) << Hive();
}

} // namespace
} // namespace e2e
