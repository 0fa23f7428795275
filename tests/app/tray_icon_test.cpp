#include "app/app_fixture.h"
#include "app/tray_icon.h"

namespace {

using namespace app_test;

class TrayIconTest : public AppTest {
  protected:
    void TearDown() override {
        TrayIconData = NOTIFYICONDATAW{};
        AppTest::TearDown();
    }
};

TEST_F(TrayIconTest, AddFillsTheRecordAndShowsTheDisabledPicture) {
    std::fill(std::begin(TrayIconData.szTip), std::end(TrayIconData.szTip), u'#');
    AddTrayIcon();
    EXPECT_EQ(TrayIconData.cbSize, 152u);
    EXPECT_EQ(TrayIconData.uFlags, 7u);

    std::vector<platform::TrayIcon> icons = platform::TrayIcons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].window, MainWindow);
    EXPECT_EQ(icons[0].id, 2u);
    EXPECT_EQ(icons[0].callbackMessage, UM_TRAY_NOTIFY);
    EXPECT_EQ(icons[0].iconResourceId, 103u);
    EXPECT_EQ(icons[0].tip, u"Swipetype");
}

} // namespace
