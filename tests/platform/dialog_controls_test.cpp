// The controls of a dialog as on the device: buttons and edit boxes, and what
// they tell the dialog. Radio buttons and check boxes are clicked through the
// desktop front end (tests/gtk/options_dialog_test.cpp).
#include <string>
#include <vector>

#include "res/resource_ids.h"
#include "window_test_support.h"

namespace {

using window_test::Instance;

struct Command {
    WORD id;
    WORD code;
};

std::vector<Command>& Commands() {
    static std::vector<Command> commands;
    return commands;
}

// Clicks and edits only: moving the focus also makes the edit boxes tell the dialog.
INT_PTR CommandDialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == EN_CHANGE ||
                                  HIWORD(wParam) == EN_MAXTEXT)) {
        Commands().push_back({LOWORD(wParam), HIWORD(wParam)});
        return TRUE;
    }
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

class DialogControlsTest : public window_test::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        Commands().clear();
        main_ = TopLevel(WS_VISIBLE, u"main");
        dialog_ = CreateDialogIndirectParamW(Instance(), window_test::DialogTemplate(IDD_OPTIONS),
                                             main_, CommandDialogProc, 0);
        ASSERT_NE(dialog_, nullptr);
        ShowWindow(dialog_, SW_SHOW);
    }
    HWND main_ = nullptr;
    HWND dialog_ = nullptr;
};

TEST_F(DialogControlsTest, ClickTakesTheFocusAndDisabledButtonsIgnoreIt) {
    HWND ok = GetDlgItem(dialog_, IDC_OK);
    SendMessageW(ok, BM_CLICK, 0, 0);
    EXPECT_EQ(GetFocus(), ok);
    EXPECT_EQ(Commands().size(), 1u);
    EnableWindow(ok, FALSE);
    SendMessageW(ok, BM_CLICK, 0, 0);
    EXPECT_EQ(Commands().size(), 1u);
    // A push button has no check state to set.
    SendMessageW(ok, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendMessageW(ok, BM_GETCHECK, 0, 0), 0);
}

TEST_F(DialogControlsTest, TextGoesInAndOutOfEditBoxes) {
    HWND prefix = GetDlgItem(dialog_, IDC_PREFIX);
    EXPECT_TRUE(SetWindowTextW(prefix, u"ID:"));
    WCHAR buffer[16];
    EXPECT_EQ(SendMessageW(prefix, WM_GETTEXT, 16, reinterpret_cast<LPARAM>(buffer)), 3);
    EXPECT_EQ(std::u16string(buffer), u"ID:");
    EXPECT_EQ(GetDlgItemTextW(dialog_, IDC_PREFIX, buffer, 3), 2u); // room for two and the end
    EXPECT_EQ(std::u16string(buffer), u"ID");
    ASSERT_FALSE(Commands().empty());
    EXPECT_EQ(Commands().back().code, EN_CHANGE);

    // Typing: characters go in at the caret, backspace takes one out.
    SendMessageW(prefix, EM_SETSEL, 3, 3);
    for (char16_t c : std::u16string(u"12\b3")) {
        SendMessageW(prefix, WM_CHAR, c, 0);
    }
    GetWindowTextW(prefix, buffer, 16);
    EXPECT_EQ(std::u16string(buffer), u"ID:13");
    SendMessageW(prefix, EM_SETSEL, 0, -1);
    SendMessageW(prefix, WM_CHAR, u'x', 0);
    GetWindowTextW(prefix, buffer, 16);
    EXPECT_EQ(std::u16string(buffer), u"x");
    SendMessageW(prefix, EM_LIMITTEXT, 2, 0);
    Commands().clear();
    SendMessageW(prefix, WM_CHAR, u'y', 0);
    SendMessageW(prefix, WM_CHAR, u'z', 0);
    GetWindowTextW(prefix, buffer, 16);
    EXPECT_EQ(std::u16string(buffer), u"xy");
    EXPECT_EQ(Commands().back().code, EN_MAXTEXT);
}

} // namespace
