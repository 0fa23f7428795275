// Dialogs created from templates: the options template as the application
// uses it, in-memory templates, the dialog procedure's protocol.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/core/system.h"
#include "window_test_support.h"

namespace {

using window_test::Instance;

struct DialogLog {
    std::vector<UINT> messages;
    std::vector<HWND> controlsAtInit;
    LPARAM initParam = 0;
    WPARAM initFocus = 0;
    INT_PTR initResult = TRUE;
};

DialogLog& Seen() {
    static DialogLog log;
    return log;
}

INT_PTR RecordingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    Seen().messages.push_back(message);
    if (message == WM_INITDIALOG) {
        Seen().initParam = lParam;
        Seen().initFocus = wParam;
        for (int id : {1002, 1014, 1032}) {
            Seen().controlsAtInit.push_back(GetDlgItem(dialog, id));
        }
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
    HWND Create(UINT id, LPARAM param = 0) {
        return CreateDialogIndirectParamW(Instance(), window_test::DialogTemplate(id), main_,
                                          RecordingDialogProc, param);
    }
    HWND main_ = nullptr;
};

// Where the controls sit and what they are is the desktop front end's test of
// the same template (tests/gtk/options_dialog_test.cpp).
TEST_F(DialogCreateTest, OptionsTemplateBecomesAHiddenChildWithItsControls) {
    HWND dialog = Create(102, 77);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetParent(dialog), main_);
    EXPECT_TRUE(IsChild(main_, dialog));
    EXPECT_FALSE(IsWindowVisible(dialog)); // no WS_VISIBLE in the template
    EXPECT_EQ(Seen().messages.front(), WM_INITDIALOG);
    EXPECT_EQ(Seen().initParam, 77);
    for (HWND control : Seen().controlsAtInit) {
        EXPECT_NE(control, nullptr); // the controls exist when WM_INITDIALOG comes
    }
    platform::WindowView view;
    ASSERT_TRUE(platform::ViewWindow(dialog, view));
    EXPECT_TRUE(view.isDialog);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 1003)));
    ShowWindow(dialog, SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, 1003)));
}

TEST_F(DialogCreateTest, InitDialogTrueGivesTheFirstTabStopTheFocusMessageResultAnswers) {
    HWND dialog = Create(102);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 1014));
    EXPECT_EQ(Seen().initFocus, reinterpret_cast<WPARAM>(GetDlgItem(dialog, 1014)));
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
    dialog = Create(102);
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

// Builds a one-control template in memory, as a program may.
std::vector<WORD> InMemoryTemplate(WORD classAtom, DWORD style) {
    std::vector<WORD> words;
    auto dword = [&](DWORD value) {
        words.push_back(static_cast<WORD>(value & 0xFFFF));
        words.push_back(static_cast<WORD>(value >> 16));
    };
    dword(WS_POPUP | WS_VISIBLE); // no DS_SETFONT: the system font
    dword(0);
    words.insert(words.end(), {1, 10, 10, 100, 50, 0, 0});
    words.insert(words.end(), {u'T', u'e', u's', u't', 0});
    if (words.size() % 2 != 0) {
        words.push_back(0);
    }
    dword(style | WS_CHILD | WS_VISIBLE);
    dword(0);
    words.insert(words.end(), {5, 5, 40, 12, 300, 0xFFFF, classAtom, u'O', u'K', 0, 0});
    return words;
}

TEST_F(DialogCreateTest, UnsupportedTemplatesCreateNothing) {
    std::vector<WORD> listBox = InMemoryTemplate(0x0083, 0);
    size_t before = platform::ViewWindows().size();
    EXPECT_EQ(CreateDialogIndirectParamW(Instance(), reinterpret_cast<DLGTEMPLATE*>(listBox.data()),
                                         main_, RecordingDialogProc, 0),
              nullptr);
    std::vector<WORD> extended{1, 0xFFFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(CreateDialogIndirectParamW(Instance(),
                                         reinterpret_cast<DLGTEMPLATE*>(extended.data()), main_,
                                         RecordingDialogProc, 0),
              nullptr);
    EXPECT_EQ(CreateDialogIndirectParamW(Instance(), window_test::DialogTemplate(102),
                                         reinterpret_cast<HWND>(0x99), RecordingDialogProc, 0),
              nullptr);
    EXPECT_EQ(platform::ViewWindows().size(), before);
    EXPECT_EQ(std::count(Seen().messages.begin(), Seen().messages.end(), WM_INITDIALOG), 0);
}

} // namespace
