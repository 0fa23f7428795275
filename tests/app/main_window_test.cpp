// The main window in this process: its menu bar, painting, tray taps and the
// popup menu, with the manual clock.
#include "app/app_fixture.h"
#include "app/main_window.h"
#include "app/tray_icon.h"
#include "platform/shell/input_panel.h"
#include "platform/shell/menu_bar.h"
#include "platform/windowing/menus/menus.h"
#include "platform/windowing/painting.h"
#include "platform/windowing/window_view.h"

namespace {

const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(0x10000);

// The real main window in place of the fixture's stand-in; the clock stands well
// after the last tap.
class MainWindowTest : public app_test::AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        DestroyWindow(MainWindow);
        platform::AdvanceManualClock(platform::Milliseconds{10000});
        StartHidden = 0;
        LastTrayTap = 0;
        ASSERT_EQ(CreateMainWindow(kInstance, SW_SHOW), TRUE);
        platform::PumpMessages(); // UM_SHOW_OPTIONS creates the options dialog
        ASSERT_NE(OptionsDialog, nullptr);
    }

    void TearDown() override {
        platform::SetPopupMenuObserver({});
        platform::SetInputPanel({});
        if (IsWindow(MainWindow)) {
            DestroyWindow(MainWindow);
        }
        MainWindow = MenuBar = OptionsDialog = nullptr;
        TrayIconData = NOTIFYICONDATAW{};
        AppTest::TearDown();
    }

    // Opens of popup menus while `action` runs, each answered with `choice`.
    std::vector<platform::PopupMenuView> Popups(UINT choice, const std::function<void()>& action) {
        std::vector<platform::PopupMenuView> opened;
        platform::SetPopupMenuObserver([&](const platform::PopupMenuView* view) {
            if (view != nullptr) {
                opened.push_back(*view);
                platform::ChoosePopupMenuItem(choice);
            }
        });
        action();
        platform::SetPopupMenuObserver({});
        return opened;
    }

    LRESULT Tap(LPARAM mouseMessage = WM_LBUTTONDOWN) {
        return SendMessageW(MainWindow, UM_TRAY_NOTIFY, 2, mouseMessage);
    }
};

TEST_F(MainWindowTest, MenuBarSitsBelowTheShortenedWindowAndDropsDownItsMenu) {
    ASSERT_NE(MenuBar, nullptr);
    platform::WindowView bar;
    ASSERT_TRUE(platform::ViewWindow(MenuBar, bar));
    EXPECT_EQ(bar.owner, MainWindow);
    EXPECT_EQ(bar.className, platform::kMenuBarClassName);
    EXPECT_EQ(bar.rect.bottom - bar.rect.top, kMenuBarHeight);
    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    EXPECT_EQ(bar.rect.bottom, workArea.bottom);

    HWND button = GetDlgItem(MenuBar, IDM_MENU_BAR_BUTTON);
    ASSERT_NE(button, nullptr);
    WCHAR caption[32] = {};
    GetWindowTextW(button, caption, 32);
    EXPECT_EQ(std::u16string(caption), u"Options");

    // Resetting through the menu switches reading off.
    Settings.Enable = 1;
    auto opened = Popups(IDM_RESET_DEFAULTS, [&] { SendMessageW(button, BM_CLICK, 0, 0); });
    ASSERT_EQ(opened.size(), 1u);
    ASSERT_EQ(opened[0].items.size(), 3u);
    EXPECT_EQ(opened[0].items[0].text, u"About");
    EXPECT_EQ(opened[0].items[2].command, IDM_EXIT);
    platform::PumpMessages();
    EXPECT_EQ(Settings.Enable, 0u);
}

TEST_F(MainWindowTest, PaintsTheStartUpTextCentred) {
    platform::WindowView view;
    ASSERT_TRUE(platform::ViewWindow(MainWindow, view));
    ASSERT_EQ(view.painted.size(), 1u);
    EXPECT_EQ(view.painted[0].text, u"Initializing Swipetype...");
    EXPECT_EQ(view.painted[0].format, 0x25u);
}

TEST_F(MainWindowTest, TapWhileHiddenOpensThePopupAtTheWorkAreaCornerOnceIn2Ms) {
    ShowWindow(MainWindow, SW_HIDE);
    auto opened = Popups(0, [&] { EXPECT_EQ(Tap(), 0); });
    ASSERT_EQ(opened.size(), 1u);
    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    EXPECT_EQ(opened[0].flags, 0x128u);
    EXPECT_EQ(opened[0].x, workArea.right);
    EXPECT_EQ(opened[0].y, workArea.bottom);
    ASSERT_EQ(opened[0].items.size(), 3u);
    EXPECT_EQ(opened[0].items[0].command, IDM_POPUP_SHOW);
    // Dismissed: nothing chosen, still hidden, the menu released.
    EXPECT_FALSE(IsWindowVisible(MainWindow));
    EXPECT_EQ(PopupDepth, 0u);
    EXPECT_EQ(PopupMenuHandle, nullptr);

    // A tap within 2 ms of the last is ignored.
    platform::AdvanceManualClock(platform::Milliseconds{1});
    EXPECT_EQ(Popups(0, [&] { Tap(); }).size(), 0u);
    platform::AdvanceManualClock(platform::Milliseconds{1});
    Popups(IDM_POPUP_SHOW, [&] { Tap(); });
    EXPECT_TRUE(IsWindowVisible(MainWindow));
}

TEST_F(MainWindowTest, TapWhileVisibleLowersTheInputPanelAndOpensNoMenu) {
    bool up = true;
    platform::SetInputPanel({[&] { return up; }, [&](bool show) { up = show; }});
    EXPECT_EQ(Popups(0, [&] { Tap(); }).size(), 0u);
    EXPECT_FALSE(up);
}

TEST_F(MainWindowTest, DoubleTapShowsTheWindow) {
    ShowWindow(MainWindow, SW_HIDE);
    EXPECT_EQ(Tap(WM_LBUTTONDBLCLK), 1);
    EXPECT_TRUE(IsWindowVisible(MainWindow));
    EXPECT_EQ(Tap(0x0200), 0); // a mouse move is no tap
}

TEST_F(MainWindowTest, NoPopupOpensInsideAnother) {
    ShowWindow(MainWindow, SW_HIDE);
    int nested = 0;
    platform::SetPopupMenuObserver([&](const platform::PopupMenuView* view) {
        if (view != nullptr) {
            ++nested;
            ShowPopupMenu(MainWindow, 105, 0, 10, 10, kInstance);
            platform::ChoosePopupMenuItem(0);
        }
    });
    Tap();
    EXPECT_EQ(nested, 1);
}

TEST_F(MainWindowTest, MinimisingSavesAndHides) {
    SendMessageW(MainWindow, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_FALSE(IsWindowVisible(MainWindow));
    app_test::ExpectStored(root_, {"\"Enable\"=dword:00000000"});
}

TEST_F(MainWindowTest, ExitRemovesTheIconAndQuits) {
    SendMessageW(MainWindow, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_FALSE(IsWindow(MainWindow));
    EXPECT_TRUE(platform::TrayIcons().empty());
    EXPECT_TRUE(platform::QuitPending());
}

} // namespace
