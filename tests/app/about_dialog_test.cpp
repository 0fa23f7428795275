// The About dialog, run modally as the main window runs it.
#include "options_dialog_fixture.h"
#include "platform/shell/shell_dialogs.h"

namespace {

using namespace app_test;

HWND& Running() {
    static HWND dialog = nullptr;
    return dialog;
}

void Deadline(HWND, UINT, UINT_PTR, DWORD) {
    ADD_FAILURE() << "the About dialog did not end";
    EndDialog(Running(), -2);
}

class AboutDialogTest : public OptionsDialogTest {
  protected:
    // Runs the dialog; `act` runs once, from a timer inside its loop.
    INT_PTR Run(std::function<void(HWND)> act) {
        static std::function<void(HWND)> action;
        action = std::move(act);
        SetTimer(nullptr, 0, 60000, Deadline);
        SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            Running() = FindWindowW(nullptr, u"About Swipetype");
            action(Running());
        });
        HRSRC found = FindResourceW(TestInstance(), MAKEINTRESOURCEW(103), RT_DIALOG);
        auto dialogTemplate =
            static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(TestInstance(), found)));
        return DialogBoxIndirectParamW(TestInstance(), dialogTemplate, MainWindow, AboutDlgProc, 0);
    }
};

// Full screen with a Done button in the caption; it ends through its OK button or
// the caption's button (IDOK), and through no other command.
TEST_F(AboutDialogTest, IsFullScreenAndEndsThroughItsOkOrTheCaptionsButtonOnly) {
    platform::ShellWindowState state;
    RECT rect{};
    LRESULT otherCommand = -1;
    EXPECT_EQ(Run([&](HWND dialog) {
                  platform::GetShellWindowState(dialog, state);
                  GetWindowRect(dialog, &rect);
                  otherCommand = SendMessageW(dialog, WM_COMMAND, IDC_ABOUT_MAKER, 0);
                  EXPECT_TRUE(IsWindowVisible(dialog));
                  SendMessageW(GetDlgItem(dialog, IDC_ABOUT_OK), BM_CLICK, 0, 0);
              }),
              IDC_ABOUT_OK);
    EXPECT_FALSE(IsWindow(Running()));
    EXPECT_TRUE(IsWindowEnabled(MainWindow));
    EXPECT_TRUE(state.dialogInitialised);
    EXPECT_EQ(state.dialogFlags, 13u);
    EXPECT_EQ(rect.right - rect.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(otherCommand, 0);
    EXPECT_EQ(Run([](HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDOK, 0); }), IDOK);
}

} // namespace
