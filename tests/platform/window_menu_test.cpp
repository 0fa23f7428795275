// Popup menus tracked in a loop of their own, chosen through the seam a front
// end or the cross-process interface uses; accelerators; the shell's dialog
// calls. Loops carry a deadline timer so that a broken test fails, not hangs.
#include "platform/core/system.h"
#include "platform/shell/shell_dialogs.h"
#include "platform/windowing/menus/accelerators.h"
#include "platform/windowing/menus/menus.h"
#include "res/resource_ids.h"
#include "window_test_support.h"

namespace {

using window_test::Instance;
using window_test::Log;
using window_test::Messages;

UINT& ToChoose() {
    static UINT command = 0;
    return command;
}

void ChooseLater(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    platform::ChoosePopupMenuItem(ToChoose());
}

bool& DeadlinePassed() {
    static bool passed = false;
    return passed;
}

void Deadline(HWND, UINT, UINT_PTR, DWORD) {
    DeadlinePassed() = true;
    platform::ChoosePopupMenuItem(0);
}

class WindowMenuTest : public window_test::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        DeadlinePassed() = false;
        owner_ = TopLevel(WS_VISIBLE);
        menu_ = LoadMenuW(Instance(), MAKEINTRESOURCEW(105));
        SetTimer(nullptr, 0, 60000, Deadline);
    }
    void TearDown() override {
        DestroyMenu(menu_);
        platform::SetPopupMenuObserver(nullptr);
        WindowTest::TearDown();
    }
    BOOL Track(UINT command, UINT flags = TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_RIGHTALIGN) {
        ToChoose() = command;
        SetTimer(nullptr, 0, 500, ChooseLater);
        return TrackPopupMenuEx(GetSubMenu(menu_, 0), flags, 240, 320, owner_, nullptr);
    }
    HWND owner_ = nullptr;
    HMENU menu_ = nullptr;
};

TEST_F(WindowMenuTest, AnItemTheMenuDoesNotHaveIsRefused) {
    // IDM_ABOUT is not in this menu: it is refused, and the menu stays open until the
    // deadline dismisses it.
    std::vector<bool> accepted;
    OnTimerOf(owner_, [&] {
        KillTimer(owner_, 5);
        accepted.push_back(platform::ChoosePopupMenuItem(IDM_ABOUT));
        accepted.push_back(platform::OpenPopupMenu(nullptr));
    });
    EXPECT_EQ(TrackPopupMenuEx(GetSubMenu(menu_, 0), TPM_RETURNCMD, 0, 0, owner_, nullptr), 0);
    EXPECT_EQ(accepted, (std::vector<bool>{false, true}));
    EXPECT_TRUE(DeadlinePassed());
    DeadlinePassed() = false;
    EXPECT_FALSE(platform::ChoosePopupMenuItem(IDM_POPUP_SHOW)); // nothing open
}

// A front end is told when the menu opens and when it closes.
TEST_F(WindowMenuTest, QuitWhileTrackingDismissesAndIsKept) {
    std::vector<bool> observed;
    platform::SetPopupMenuObserver(
        [&](const platform::PopupMenuView* view) { observed.push_back(view != nullptr); });
    OnTimerOf(owner_, [&] { PostQuitMessage(0); });
    EXPECT_EQ(TrackPopupMenuEx(GetSubMenu(menu_, 0), TPM_RETURNCMD, 0, 0, owner_, nullptr), 0);
    EXPECT_TRUE(platform::QuitPending());
    EXPECT_EQ(observed, (std::vector<bool>{true, false}));
}

class AcceleratorTest : public window_test::WindowTest {};

// Ctrl+A and Ctrl+Q from the main window, and a letter alone, are the desktop
// front end's test (tests/gtk/accelerator_keys_test.cpp).
TEST_F(AcceleratorTest, CtrlAGoesToTheMessagesOwnWindow) {
    HWND main = TopLevel(WS_VISIBLE);
    HWND control = Child(main, IDC_PREFIX);
    HACCEL table = LoadAcceleratorsW(Instance(), MAKEINTRESOURCEW(3));
    struct Case {
        bool control;
        bool shift;
        UINT message;
        WPARAM key;
        HWND target;
        int translated;
    };
    for (const Case& c :
         {Case{true, false, WM_KEYDOWN, 'A', control, 1},
          Case{true, true, WM_KEYDOWN, 'A', main, 0}, Case{true, false, WM_KEYUP, 'A', main, 0},
          Case{true, false, WM_CHAR, 'A', main, 0}}) {
        platform::SetKeyDown(VK_CONTROL, c.control);
        platform::SetKeyDown(VK_SHIFT, c.shift);
        Log().clear();
        MSG message{c.target, c.message, c.key, 0, 0, {0, 0}};
        EXPECT_EQ(TranslateAcceleratorW(c.target, table, &message), c.translated);
        auto commands = Messages({WM_COMMAND});
        ASSERT_EQ(commands.size(), static_cast<size_t>(c.translated));
        if (c.translated) {
            EXPECT_EQ(commands[0].first, c.target);
            EXPECT_EQ(HIWORD(Log().back().wParam), 1);
            EXPECT_EQ(LOWORD(Log().back().wParam), c.key == 'A' ? IDM_ABOUT : IDM_QUIT_KEY);
        }
    }
}

class ShellDialogTest : public window_test::WindowTest {};

// What activation and setting changes count is the options dialog's test; here
// the focus a deactivation remembers comes back with the activation.
TEST_F(ShellDialogTest, ActivationKeepsTheFocusForTheReturn) {
    HWND main = TopLevel(WS_VISIBLE);
    HWND edit = Child(main, IDC_PREFIX);
    SHACTIVATEINFO info{};
    info.cbSize = kShellActivateInfoDeviceSize;
    SetFocus(edit);
    ASSERT_TRUE(SHHandleWMActivate(main, WA_INACTIVE, 0, &info, 0));
    EXPECT_EQ(info.hwndLastFocus, edit);
    SetFocus(nullptr);
    ASSERT_TRUE(SHHandleWMActivate(main, WA_ACTIVE, 0, &info, 0));
    EXPECT_EQ(GetFocus(), edit);
    SHACTIVATEINFO tooSmall{};
    EXPECT_FALSE(SHHandleWMActivate(main, WA_ACTIVE, 0, &tooSmall, 0));
}

// The About dialog's test checks the flags kept and the width; here the height,
// which leaves room for the menu bar.
TEST_F(ShellDialogTest, InitDialogLeavesTheMenuBarItsRoom) {
    HWND dialog = TopLevel(WS_VISIBLE | WS_POPUP | WS_CAPTION);
    SHINITDLGINFO info{SHIDIM_FLAGS, dialog, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN};
    ASSERT_TRUE(SHInitDialog(&info));
    RECT rect{};
    RECT work{};
    GetWindowRect(dialog, &rect);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(rect.top, work.top);
    EXPECT_EQ(rect.bottom, work.bottom - 26);
    EXPECT_NE(static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)) & WS_EX_CAPTIONOKBTN, 0u);
}

} // namespace
