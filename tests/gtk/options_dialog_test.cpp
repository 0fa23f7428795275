// The options dialog (IDD_OPTIONS) in a window of the window system, shown by
// the front end under Xvfb and used with xdotool: where its controls appear, how
// clicks and Tab reach the window system, and what the program sets shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "desktop_session.h"
#include "options_template.h"
#include "platform/gtk/gtk_inspect.h"
#include "platform/resources/resources.h"
#include "platform/windowing/dialogs.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"
#include "platform/windowing/window_view.h"
#include "support/window_class.h"

namespace {

using gtk_test::Across;
using gtk_test::Down;
using gtk_test::OptionsTemplate;
using platform::gtk_front_end::InspectWidget;
using platform::gtk_front_end::ShownWidget;
using platform::gtk_front_end::WidgetKind;

const DLGTEMPLATE* Template(UINT id) {
    HRSRC found = FindResourceW(gtk_test::TestInstance(), MAKEINTRESOURCEW(id), RT_DIALOG);
    return static_cast<const DLGTEMPLATE*>(
        LockResource(LoadResource(gtk_test::TestInstance(), found)));
}

std::vector<WPARAM>& Commands() {
    static std::vector<WPARAM> commands;
    return commands;
}

LONG_PTR OptionsProcedure(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND) {
        Commands().push_back(wParam);
        return TRUE;
    }
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

class OptionsDialogTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string reason;
        if (gtk_test::Desktop(reason) == nullptr) {
            GTEST_SKIP() << reason;
        }
        ASSERT_TRUE(test_support::RegisterTestClass(u"GtkTestFrame", DefWindowProcW));
        Commands().clear();
        frame_ = CreateWindowExW(0, u"GtkTestFrame", u"Options test", WS_VISIBLE, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                 gtk_test::TestInstance(), nullptr);
        ASSERT_NE(frame_, nullptr);
        dialog_ = CreateDialogIndirectParamW(gtk_test::TestInstance(), Template(IDD_OPTIONS),
                                             frame_, OptionsProcedure, 0);
        ASSERT_NE(dialog_, nullptr);
        ShowWindow(dialog_, SW_SHOW);
        ASSERT_TRUE(gtk_test::ServeUntil([&] { return Shown(IDC_QUIT); }))
            << "the dialog's controls did not appear: " << Widget(IDC_QUIT).shown << " "
            << Widget(IDC_QUIT).screen.left << "," << Widget(IDC_QUIT).screen.right;
    }
    void TearDown() override {
        if (frame_ != nullptr && IsWindow(frame_)) {
            DestroyWindow(frame_);
        }
        gtk_test::Serve(std::chrono::milliseconds(300));
    }
    bool Shown(int id) {
        ShownWidget shown;
        return InspectWidget(GetDlgItem(dialog_, id), shown) && shown.shown &&
               shown.screen.right - shown.screen.left > 1;
    }
    ShownWidget Widget(int id) {
        ShownWidget shown;
        EXPECT_TRUE(InspectWidget(GetDlgItem(dialog_, id), shown)) << "control " << id;
        return shown;
    }
    WPARAM Check(int id) { return SendDlgItemMessageW(dialog_, id, BM_GETCHECK, 0, 0); }

    HWND frame_ = nullptr;
    HWND dialog_ = nullptr;
};

TEST_F(OptionsDialogTest, ControlsSitAtTheirTemplateRectanglesInTemplateOrder) {
    platform::WindowView dialogView;
    ASSERT_TRUE(platform::ViewWindow(dialog_, dialogView));
    const std::vector<platform::DialogItem>& controls = OptionsTemplate().items;
    ASSERT_EQ(dialogView.children.size(), controls.size());
    ShownWidget dialog;
    ASSERT_TRUE(InspectWidget(dialog_, dialog));
    EXPECT_EQ(dialog.kind, WidgetKind::Surface);
    EXPECT_EQ(dialog.inParent.right - dialog.inParent.left, Across(OptionsTemplate().cx));
    EXPECT_EQ(dialog.inParent.bottom - dialog.inParent.top, Down(OptionsTemplate().cy));
    std::vector<RECT> placed;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const platform::DialogItem& control = controls[i];
        SCOPED_TRACE("control " + std::to_string(control.id));
        EXPECT_EQ(GetDlgCtrlID(dialogView.children[i]), control.id) << "template order";
        ShownWidget shown = Widget(control.id);
        EXPECT_EQ(shown.kind, gtk_test::ShownAs(control));
        EXPECT_TRUE(shown.shown);
        RECT expected{Across(control.x), Down(control.y), Across(control.x) + Across(control.cx),
                      Down(control.y) + Down(control.cy)};
        EXPECT_EQ(shown.inParent.left, expected.left);
        EXPECT_EQ(shown.inParent.top, expected.top);
        EXPECT_EQ(shown.inParent.right, expected.right);
        EXPECT_EQ(shown.inParent.bottom, expected.bottom);
        // On the screen, inside the dialog.
        EXPECT_GE(shown.screen.left, dialog.screen.left);
        EXPECT_GE(shown.screen.top, dialog.screen.top);
        EXPECT_LE(shown.screen.right, dialog.screen.right);
        EXPECT_LE(shown.screen.bottom, dialog.screen.bottom);
        placed.push_back(shown.screen);
    }
    for (std::size_t a = 0; a < placed.size(); ++a) {
        for (std::size_t b = a + 1; b < placed.size(); ++b) {
            bool overlap = placed[a].left < placed[b].right && placed[b].left < placed[a].right &&
                           placed[a].top < placed[b].bottom && placed[b].top < placed[a].bottom;
            EXPECT_FALSE(overlap) << controls[a].id << " overlaps " << controls[b].id;
        }
    }
}

TEST_F(OptionsDialogTest, ClickingARadioButtonGoesThroughTheWindowSystem) {
    CheckRadioButton(dialog_, IDC_READING_ENABLE, IDC_READING_DISABLE, IDC_READING_DISABLE);
    ASSERT_TRUE(gtk_test::ServeUntil([&] { return Widget(IDC_READING_DISABLE).active; }));
    ASSERT_TRUE(gtk_test::ClickCentre(Widget(IDC_READING_ENABLE).screen));
    ASSERT_TRUE(gtk_test::ServeUntil([&] { return Check(IDC_READING_ENABLE) == BST_CHECKED; }))
        << "the click on Enable did not check it";
    EXPECT_EQ(Check(IDC_READING_DISABLE), BST_UNCHECKED) << "its partner stays checked";
    EXPECT_NE(
        std::find(Commands().begin(), Commands().end(), MAKEWPARAM(IDC_READING_ENABLE, BN_CLICKED)),
        Commands().end());
    EXPECT_EQ(Check(IDC_INPUT_MSR), BST_UNCHECKED) << "another group changed";
    ASSERT_TRUE(gtk_test::ServeUntil([&] { return !Widget(IDC_READING_DISABLE).active; }));
    EXPECT_TRUE(Widget(IDC_READING_ENABLE).active);
}

TEST_F(OptionsDialogTest, CheckBoxesToggleAndFollowTheWindowSystem) {
    ASSERT_EQ(Check(IDC_SEND_TAB), BST_UNCHECKED);
    ASSERT_TRUE(gtk_test::ClickCentre(Widget(IDC_SEND_TAB).screen));
    ASSERT_TRUE(gtk_test::ServeUntil([&] { return Check(IDC_SEND_TAB) == BST_CHECKED; }));
    // A second click, not a double click.
    gtk_test::Serve(std::chrono::milliseconds(600));
    ASSERT_TRUE(gtk_test::ClickCentre(Widget(IDC_SEND_TAB).screen));
    ASSERT_TRUE(gtk_test::ServeUntil([&] { return Check(IDC_SEND_TAB) == BST_UNCHECKED; }));
    // A change made by the program shows without any click.
    CheckDlgButton(dialog_, IDC_TRACK2, BST_CHECKED);
    EXPECT_TRUE(gtk_test::ServeUntil([&] { return Widget(IDC_TRACK2).active; }));
    CheckDlgButton(dialog_, IDC_TRACK2, BST_UNCHECKED);
    EXPECT_TRUE(gtk_test::ServeUntil([&] { return !Widget(IDC_TRACK2).active; }));
    // So does a radio pair cleared altogether, which GTK alone cannot show.
    CheckRadioButton(dialog_, IDC_AUTOSTART_ENABLE, IDC_AUTOSTART_DISABLE, IDC_AUTOSTART_ENABLE);
    ASSERT_TRUE(gtk_test::ServeUntil([&] { return Widget(IDC_AUTOSTART_ENABLE).active; }));
    CheckDlgButton(dialog_, IDC_AUTOSTART_ENABLE, BST_UNCHECKED);
    EXPECT_TRUE(gtk_test::ServeUntil([&] {
        return !Widget(IDC_AUTOSTART_ENABLE).active && !Widget(IDC_AUTOSTART_DISABLE).active;
    }));
}

TEST_F(OptionsDialogTest, TabFollowsTheTemplatesOrderOfTabStops) {
    SetFocus(GetDlgItem(dialog_, IDC_PREFIX));
    ASSERT_TRUE(gtk_test::ServeUntil([&] { return Widget(IDC_PREFIX).hasFocus; }));
    // TAB sits left of ENTER but comes after it in the template.
    for (int next : {IDC_SUFFIX, IDC_SEND_ENTER, IDC_SEND_TAB, IDC_TRACK_SEPARATOR, IDC_TRACK1}) {
        ASSERT_TRUE(gtk_test::PressKey("Tab"));
        EXPECT_TRUE(gtk_test::ServeUntil([&] { return GetFocus() == GetDlgItem(dialog_, next); }))
            << "Tab did not reach " << next;
    }
}

// (Typing into a box is the program's end-to-end test, tests/gtk/program_test.cpp.)
TEST_F(OptionsDialogTest, HiddenDisabledAndTextSetControlsFollowTheWindowSystem) {
    SetDlgItemTextW(dialog_, IDC_SUFFIX, u"END");
    EXPECT_TRUE(gtk_test::ServeUntil([&] { return Widget(IDC_SUFFIX).text == "END"; }));
    ShowWindow(GetDlgItem(dialog_, IDC_QUIT), SW_HIDE);
    EnableWindow(GetDlgItem(dialog_, IDC_OK), FALSE);
    EXPECT_TRUE(
        gtk_test::ServeUntil([&] { return !Widget(IDC_QUIT).shown && !Widget(IDC_OK).sensitive; }));
    ShowWindow(GetDlgItem(dialog_, IDC_QUIT), SW_SHOW);
    EnableWindow(GetDlgItem(dialog_, IDC_OK), TRUE);
    EXPECT_TRUE(
        gtk_test::ServeUntil([&] { return Widget(IDC_QUIT).shown && Widget(IDC_OK).sensitive; }));
}

} // namespace
