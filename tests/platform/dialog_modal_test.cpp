// Modal dialogs run their own loop: timers keep running, the owner is disabled
// meanwhile, and the dialog ends through EndDialog, the program's quit or the
// owner's end. Each test has a deadline timer that fails it instead of hanging.
#include "platform/core/system.h"
#include "window_test_support.h"

namespace {

using window_test::Instance;

const DLGTEMPLATE* AboutTemplate() {
    return window_test::DialogTemplate(103);
}

HWND& RunningDialog() {
    static HWND dialog = nullptr;
    return dialog;
}

int& Ticks() {
    static int ticks = 0;
    return ticks;
}

bool& DeadlinePassed() {
    static bool passed = false;
    return passed;
}

INT_PTR ModalProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        RunningDialog() = dialog;
        return TRUE;
    }
    if (message == WM_COMMAND) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

// What the owner and the dialog looked like from inside the dialog's loop.
bool& OwnerEnabledInside() {
    static bool enabled = true;
    return enabled;
}

// A reader's poll timer: it types while the dialog is open, then the user ends it.
void CALLBACK_Tick(HWND owner, UINT, UINT_PTR, DWORD) {
    if (++Ticks() == 5) {
        OwnerEnabledInside() = IsWindowEnabled(owner) != FALSE;
        EXPECT_TRUE(IsWindowVisible(RunningDialog()));
        SendMessageW(GetDlgItem(RunningDialog(), 1032), BM_CLICK, 0, 0);
    }
}

void Deadline(HWND, UINT, UINT_PTR, DWORD) {
    DeadlinePassed() = true;
    if (IsWindow(RunningDialog())) {
        EndDialog(RunningDialog(), -2);
    }
}

class DialogModalTest : public window_test::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        RunningDialog() = nullptr;
        Ticks() = 0;
        DeadlinePassed() = false;
        owner_ = TopLevel(WS_VISIBLE, u"owner");
        SetTimer(nullptr, 0, 60000, Deadline);
    }
    void TearDown() override {
        EXPECT_FALSE(DeadlinePassed());
        WindowTest::TearDown();
    }
    HWND owner_ = nullptr;
};

TEST_F(DialogModalTest, TimersRunWhileTheDialogIsOpenTheOwnerDisabledAndItEndsWithItsResult) {
    OwnerEnabledInside() = true;
    SetTimer(owner_, 1357, 325, CALLBACK_Tick);
    INT_PTR result = DialogBoxIndirectParamW(Instance(), AboutTemplate(), owner_, ModalProc, 0);
    EXPECT_EQ(result, 1032);
    EXPECT_EQ(Ticks(), 5);
    EXPECT_FALSE(OwnerEnabledInside());
    EXPECT_FALSE(IsWindow(RunningDialog()));
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_EQ(GetActiveWindow(), owner_);
}

TEST_F(DialogModalTest, QuitEndsTheDialogAndReachesTheOuterLoop) {
    OnTimerOf(owner_, [&] { PostQuitMessage(3); });
    EXPECT_EQ(DialogBoxIndirectParamW(Instance(), AboutTemplate(), owner_, ModalProc, 0), 0);
    EXPECT_FALSE(IsWindow(RunningDialog()));
    MSG message{};
    EXPECT_EQ(GetMessageW(&message, nullptr, 0, 0), 0);
    EXPECT_EQ(message.wParam, 3u);
}

TEST_F(DialogModalTest, DestroyingTheOwnerEndsTheDialog) {
    OnTimerOf(owner_, [&] { DestroyWindow(owner_); });
    EXPECT_EQ(DialogBoxIndirectParamW(Instance(), AboutTemplate(), owner_, ModalProc, 0), 0);
    EXPECT_FALSE(IsWindow(RunningDialog()));
    EXPECT_FALSE(IsWindow(owner_));
}

} // namespace
