#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ipc/remote_windows.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"
#include "res/resource_ids.h"
#include "support/child_process.h"
#include "support/temp_device_root.h"
#include "support/window_class.h"

namespace {

using test_support::RunServingLoop;

// A stand-in for the running program: a top-level window of class "SWIPETYPE"
// titled "Swipetype", holding a dialog with an Enable radio button and a Prefix box.
// It records the commands and private messages it receives.
std::vector<std::pair<UINT, WPARAM>> received;

LRESULT MainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND || message >= WM_USER) {
        received.emplace_back(message, wParam);
        return 77;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class SwipetypeSendTest : public testing::Test {
  protected:
    void SetUp() override {
        received.clear();
        ASSERT_TRUE(test_support::RegisterTestClass(u"SWIPETYPE", MainProcedure));
        main_ = CreateWindowExW(0, u"SWIPETYPE", u"Swipetype", 0, 0, 0, 100, 100, nullptr, nullptr,
                                nullptr, nullptr);
        ASSERT_NE(main_, nullptr);
        dialog_ = CreateWindowExW(0, u"STATIC", u"", WS_CHILD, 0, 0, 90, 90, main_,
                                  reinterpret_cast<HMENU>(UINT_PTR{1}), nullptr, nullptr);
        enable_ =
            CreateWindowExW(0, u"BUTTON", u"Enable", WS_CHILD | BS_AUTORADIOBUTTON, 0, 0, 10, 10,
                            dialog_, reinterpret_cast<HMENU>(UINT_PTR{1003}), nullptr, nullptr);
        prefix_ = CreateWindowExW(0, u"EDIT", u"", WS_CHILD, 0, 0, 10, 10, dialog_,
                                  reinterpret_cast<HMENU>(UINT_PTR{1014}), nullptr, nullptr);
        std::string error;
        ASSERT_EQ(platform::StartWindowInterface(error), platform::WindowInterfaceRole::Serving)
            << error;
    }
    void TearDown() override {
        platform::StopWindowInterface();
        DestroyWindow(main_);
        platform::ResetMessageLoop();
    }
    test_support::ChildResult Send(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--root", root_.Path()});
        return RunServingLoop(SWIPETYPE_SEND_PATH, arguments);
    }

    test_support::TempDeviceRoot root_;
    HWND main_ = nullptr;
    HWND dialog_ = nullptr;
    HWND enable_ = nullptr;
    HWND prefix_ = nullptr;
};

TEST_F(SwipetypeSendTest, ClickingAControlChecksItAndNotifiesItsDialog) {
    auto result = Send({"--control", std::to_string(IDC_READING_ENABLE), "BM_CLICK"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(SendMessageW(enable_, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_CHECKED));
    auto check = Send({"--control", std::to_string(IDC_READING_ENABLE), "BM_GETCHECK"});
    EXPECT_EQ(check.out, "1\n");
}

TEST_F(SwipetypeSendTest, SendsAndPostsToTheMainWindow) {
    auto sent = Send({"WM_COMMAND", "40013"});
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(sent.out, "77\n");
    auto posted = Send({"--post", "UM_TRAY_NOTIFY", "2", "513"});
    EXPECT_EQ(posted.status, 0) << posted.err;
    EXPECT_EQ(posted.out, "");
    platform::PumpMessages();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0], (std::pair<UINT, WPARAM>{WM_COMMAND, 40013}));
    EXPECT_EQ(received[1], (std::pair<UINT, WPARAM>{1801, 2}));
}

TEST_F(SwipetypeSendTest, TextsTravelBothWays) {
    auto set =
        Send({"--control", std::to_string(IDC_PREFIX), "WM_SETTEXT", "0", "ID: caf\xC3\xA9"});
    EXPECT_EQ(set.status, 0) << set.err;
    WCHAR text[64];
    GetWindowTextW(prefix_, text, 64);
    EXPECT_EQ(std::u16string(text), u"ID: caf\u00E9");
    auto get = Send({"--control", std::to_string(IDC_PREFIX), "WM_GETTEXT"});
    EXPECT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(get.out, "ID: caf\xC3\xA9\n");
}

TEST_F(SwipetypeSendTest, MissingTargetsExitOneWithALine) {
    auto control = Send({"--control", "4242", "BM_CLICK"});
    EXPECT_EQ(control.status, 1);
    EXPECT_NE(control.err.find("no control 4242"), std::string::npos) << control.err;
    auto menu = Send({"--menu", "40019"});
    EXPECT_EQ(menu.status, 1);
    EXPECT_NE(menu.err.find("no open popup menu"), std::string::npos) << menu.err;
    DestroyWindow(main_);
    main_ = nullptr;
    auto none = Send({"WM_CLOSE"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("no running Swipetype"), std::string::npos) << none.err;
}

TEST_F(SwipetypeSendTest, PointerCarryingMessagesAreRefused) {
    // WM_CREATE's lParam is a pointer in the receiving process: it never crosses.
    auto result = Send({"1", "0", "4096"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(received.empty());
}

TEST_F(SwipetypeSendTest, BadCommandLinesExitTwo) {
    for (std::vector<std::string> arguments : {std::vector<std::string>{},
                                               {"WM_NOPE"},
                                               {"WM_COMMAND", "x"},
                                               {"--bogus", "WM_CLOSE"},
                                               {"--post", "WM_GETTEXT"},
                                               {"--menu", "1", "WM_CLOSE"},
                                               // Numbers that do not fit are not cut to fit:
                                               // 4294968299 would otherwise be control 1003.
                                               {"--control", "4294968299", "BM_CLICK"},
                                               {"WM_COMMAND", "1", "9223372036854775808"}}) {
        auto result = Send(arguments);
        EXPECT_EQ(result.status, 2) << (arguments.empty() ? "" : arguments[0]);
        EXPECT_FALSE(result.err.empty());
    }
}

} // namespace
