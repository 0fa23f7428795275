// The options dialog (template 102) in a window of the window system, shown by
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
using gtk_test::kOptionsControls;
using gtk_test::TemplateControl;
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
        dialog_ = CreateDialogIndirectParamW(gtk_test::TestInstance(), Template(102), frame_,
                                             OptionsProcedure, 0);
        ASSERT_NE(dialog_, nullptr);
        ShowWindow(dialog_, SW_SHOW);
        ASSERT_TRUE(gtk_test::ServeUntil([&] { return Shown(1032); }))
            << "the dialog's controls did not appear: " << Widget(1032).shown << " "
            << Widget(1032).screen.left << "," << Widget(1032).screen.right;
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
    ASSERT_EQ(dialogView.children.size(), kOptionsControls.size());
    ShownWidget dialog;
    ASSERT_TRUE(InspectWidget(dialog_, dialog));
    EXPECT_EQ(dialog.kind, WidgetKind::Surface);
    EXPECT_EQ(dialog.inParent.right - dialog.inParent.left, Across(141));
    EXPECT_EQ(dialog.inParent.bottom - dialog.inParent.top, Down(160));
    std::vector<RECT> placed;
    for (std::size_t i = 0; i < kOptionsControls.size(); ++i) {
        const TemplateControl& control = kOptionsControls[i];
        SCOPED_TRACE("control " + std::to_string(control.id));
        EXPECT_EQ(GetDlgCtrlID(dialogView.children[i]), control.id) << "template order";
        ShownWidget shown = Widget(control.id);
        EXPECT_EQ(shown.kind, control.kind);
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
            EXPECT_FALSE(overlap) << kOptionsControls[a].id << " overlaps "
                                  << kOptionsControls[b].id;
        }
    }
}

TEST_F(OptionsDialogTest, ClickingARadioButtonGoesThroughTheWindowSystem) {
    CheckRadioButton(dialog_, 1003, 1004, 1004);
    ASSERT_TRUE(gtk_test::ServeUntil([&] { return Widget(1004).active; }));
    ASSERT_TRUE(gtk_test::ClickCentre(Widget(1003).screen));
    ASSERT_TRUE(gtk_test::ServeUntil([&] { return Check(1003) == BST_CHECKED; }))
        << "the click on Enable did not check it";
    EXPECT_EQ(Check(1004), BST_UNCHECKED) << "its partner stays checked";
    EXPECT_NE(std::find(Commands().begin(), Commands().end(), MAKEWPARAM(1003, BN_CLICKED)),
              Commands().end());
    EXPECT_EQ(Check(1009), BST_UNCHECKED) << "another group changed";
    ASSERT_TRUE(gtk_test::ServeUntil([&] { return !Widget(1004).active; }));
    EXPECT_TRUE(Widget(1003).active);
}

TEST_F(OptionsDialogTest, CheckBoxesToggleAndFollowTheWindowSystem) {
    ASSERT_EQ(Check(1018), BST_UNCHECKED);
    ASSERT_TRUE(gtk_test::ClickCentre(Widget(1018).screen));
    ASSERT_TRUE(gtk_test::ServeUntil([&] { return Check(1018) == BST_CHECKED; }));
    // A second click, not a double click.
    gtk_test::Serve(std::chrono::milliseconds(600));
    ASSERT_TRUE(gtk_test::ClickCentre(Widget(1018).screen));
    ASSERT_TRUE(gtk_test::ServeUntil([&] { return Check(1018) == BST_UNCHECKED; }));
    // A change made by the program shows without any click.
    CheckDlgButton(dialog_, 1026, BST_CHECKED);
    EXPECT_TRUE(gtk_test::ServeUntil([&] { return Widget(1026).active; }));
    CheckDlgButton(dialog_, 1026, BST_UNCHECKED);
    EXPECT_TRUE(gtk_test::ServeUntil([&] { return !Widget(1026).active; }));
    // So does a radio pair cleared altogether, which GTK alone cannot show.
    CheckRadioButton(dialog_, 1011, 1012, 1011);
    ASSERT_TRUE(gtk_test::ServeUntil([&] { return Widget(1011).active; }));
    CheckDlgButton(dialog_, 1011, BST_UNCHECKED);
    EXPECT_TRUE(gtk_test::ServeUntil([&] { return !Widget(1011).active && !Widget(1012).active; }));
}

TEST_F(OptionsDialogTest, TabFollowsTheTemplatesOrderOfTabStops) {
    SetFocus(GetDlgItem(dialog_, 1014));
    ASSERT_TRUE(gtk_test::ServeUntil([&] { return Widget(1014).hasFocus; }));
    // TAB (1018) sits left of ENTER (1017) but comes after it in the template.
    for (int next : {1016, 1017, 1018, 1024, 1025}) {
        ASSERT_TRUE(gtk_test::PressKey("Tab"));
        EXPECT_TRUE(gtk_test::ServeUntil([&] { return GetFocus() == GetDlgItem(dialog_, next); }))
            << "Tab did not reach " << next;
    }
}

// (Typing into a box is the program's end-to-end test, tests/gtk/program_test.cpp.)
TEST_F(OptionsDialogTest, HiddenDisabledAndTextSetControlsFollowTheWindowSystem) {
    SetDlgItemTextW(dialog_, 1016, u"END");
    EXPECT_TRUE(gtk_test::ServeUntil([&] { return Widget(1016).text == "END"; }));
    ShowWindow(GetDlgItem(dialog_, 1032), SW_HIDE);
    EnableWindow(GetDlgItem(dialog_, 1031), FALSE);
    EXPECT_TRUE(
        gtk_test::ServeUntil([&] { return !Widget(1032).shown && !Widget(1031).sensitive; }));
    ShowWindow(GetDlgItem(dialog_, 1032), SW_SHOW);
    EnableWindow(GetDlgItem(dialog_, 1031), TRUE);
    EXPECT_TRUE(gtk_test::ServeUntil([&] { return Widget(1032).shown && Widget(1031).sensitive; }));
}

} // namespace
