// Dialogs created from the program's templates and the dialog procedure's
// protocol; what the options dialog holds is the application's test of it.
#include "platform/core/system.h"
#include "res/resource_ids.h"
#include "window_test_support.h"

namespace {

using window_test::Instance;

struct DialogLog {
    WPARAM initFocus = 0;
    INT_PTR initResult = TRUE;
};

DialogLog& Seen() {
    static DialogLog log;
    return log;
}

INT_PTR RecordingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        Seen().initFocus = wParam;
        return Seen().initResult;
    }
    if (message == WM_USER) {
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 4321);
        return TRUE;
    }
    return FALSE;
}

class DialogCreateTest : public window_test::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        Seen() = DialogLog{};
        main_ = TopLevel(WS_VISIBLE, u"main");
    }
    HWND Create(UINT id) {
        return CreateDialogIndirectParamW(Instance(), window_test::DialogTemplate(id), main_,
                                          RecordingDialogProc, 0);
    }
    HWND main_ = nullptr;
};

TEST_F(DialogCreateTest, InitDialogTrueGivesTheFirstTabStopTheFocusMessageResultAnswers) {
    HWND dialog = Create(IDD_OPTIONS);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_PREFIX));
    EXPECT_EQ(Seen().initFocus, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_PREFIX)));
    EXPECT_EQ(SendMessageW(dialog, WM_USER, 0, 0), 4321);
    // The next handled message does not inherit it.
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 55);
    EXPECT_EQ(SendMessageW(dialog, WM_USER + 1, 0, 0), 0);
    EXPECT_EQ(GetWindowLongPtrW(dialog, DWLP_DLGPROC),
              reinterpret_cast<LONG_PTR>(&RecordingDialogProc));
    DestroyWindow(dialog);

    Seen() = DialogLog{};
    Seen().initResult = FALSE;
    SetFocus(main_);
    dialog = Create(IDD_OPTIONS);
    EXPECT_EQ(GetFocus(), main_);
}

TEST_F(DialogCreateTest, AboutTemplateIsAnOwnedPopupWithItsIcon) {
    HWND dialog = Create(103);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetParent(dialog), main_); // its owner
    EXPECT_FALSE(IsChild(main_, dialog));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)), WS_EX_CAPTIONOKBTN);
    platform::WindowView dialogView;
    ASSERT_TRUE(platform::ViewWindow(dialog, dialogView));
    platform::WindowView icon;
    ASSERT_TRUE(platform::ViewWindow(dialogView.children[0], icon));
    EXPECT_EQ(icon.iconId, 101u);
    EXPECT_EQ(icon.rect.right - icon.rect.left, 32);
}

} // namespace
