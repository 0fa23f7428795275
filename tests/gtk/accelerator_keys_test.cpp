// Key chords pressed on the desktop reach the program's loop as key messages for
// the window with the focus, so that TranslateAcceleratorW turns Ctrl+A and
// Ctrl+Q into the commands of accelerator table 3, as on the device.
#include <gtest/gtest.h>

#include <vector>

#include "desktop_session.h"
#include "platform/gtk/gtk_inspect.h"
#include "platform/keyboard/keyboard.h"
#include "platform/resources/resources.h"
#include "platform/windowing/key_state.h"
#include "platform/windowing/menus/accelerators.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"
#include "res/resource_ids.h"
#include "support/window_class.h"

namespace {

HACCEL Accelerators() {
    static HACCEL table = LoadAcceleratorsW(gtk_test::TestInstance(), MAKEINTRESOURCEW(3));
    return table;
}

std::vector<WPARAM>& Commands() {
    static std::vector<WPARAM> commands;
    return commands;
}

// The test's message loop dispatches everything; the key messages are translated
// here as the program's loop would translate them for this window: a key's
// message, with the modifiers as GetKeyState says while it is handled.
LRESULT KeyTargetProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_KEYUP) {
        MSG key{window, message, wParam, lParam, 0, {}};
        if (TranslateAcceleratorW(window, Accelerators(), &key) != 0) {
            return 0;
        }
    }
    if (message == WM_COMMAND) {
        Commands().push_back(wParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class AcceleratorKeysTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string reason;
        if (gtk_test::Desktop(reason) == nullptr) {
            GTEST_SKIP() << reason;
        }
        if (!gtk_test::HasWindowManager()) {
            GTEST_SKIP() << "openbox is needed to give the window the keyboard focus";
        }
        ASSERT_TRUE(test_support::RegisterTestClass(u"GtkTestKeys", KeyTargetProcedure));
        Commands().clear();
        ASSERT_NE(Accelerators(), nullptr);
        window_ = CreateWindowExW(0, u"GtkTestKeys", u"Keys test", WS_VISIBLE, 300, 0, 200, 120,
                                  nullptr, nullptr, gtk_test::TestInstance(), nullptr);
        ASSERT_NE(window_, nullptr);
        SetFocus(window_);
        // Shown; a click gives it the keyboard focus, as a person would.
        platform::gtk_front_end::ShownWidget shown;
        ASSERT_TRUE(gtk_test::ServeUntil([&] {
            return platform::gtk_front_end::InspectWidget(window_, shown) && shown.shown &&
                   shown.screen.bottom - shown.screen.top == 120;
        }));
        ASSERT_TRUE(gtk_test::ClickCentre(shown.screen));
        gtk_test::Serve(std::chrono::milliseconds(200));
    }
    void TearDown() override {
        if (window_ != nullptr && IsWindow(window_)) {
            DestroyWindow(window_);
        }
        gtk_test::Serve(std::chrono::milliseconds(200));
    }

    bool CommandSeen(WPARAM command, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        return gtk_test::ServeUntil(
            [&] {
                for (WPARAM seen : Commands()) {
                    if (LOWORD(seen) == command) {
                        return true;
                    }
                }
                return false;
            },
            limit);
    }

    HWND window_ = nullptr;
};

TEST_F(AcceleratorKeysTest, CtrlAAndCtrlQBecomeTheirCommands) {
    ASSERT_TRUE(gtk_test::PressKey("ctrl+a"));
    EXPECT_TRUE(CommandSeen(IDM_ABOUT)) << "Ctrl+A did not give About";
    ASSERT_TRUE(gtk_test::PressKey("ctrl+q"));
    EXPECT_TRUE(CommandSeen(1)) << "Ctrl+Q did not give its command";
    for (WPARAM seen : Commands()) {
        EXPECT_EQ(HIWORD(seen), 1) << "an accelerator's command says so in its high word";
    }
}

TEST_F(AcceleratorKeysTest, ALetterAloneIsNoAccelerator) {
    ASSERT_TRUE(gtk_test::PressKey("a"));
    ASSERT_TRUE(gtk_test::PressKey("ctrl+z"));
    EXPECT_FALSE(CommandSeen(IDM_ABOUT, std::chrono::seconds(1)));
    EXPECT_TRUE(Commands().empty());
}

} // namespace
