// The notification icon in the test desktop's tray host (trayer): its picture
// and tip follow Shell_NotifyIconW, and clicks on it come back to the window as
// the callback message with the device's mouse messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "desktop_session.h"
#include "platform/gtk/gtk_inspect.h"
#include "platform/resources/resources.h"
#include "platform/shell/shell.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"
#include "support/window_class.h"

namespace {

using platform::gtk_front_end::InspectTrayIcons;
using platform::gtk_front_end::ShownTrayIcon;

constexpr UINT kCallback = WM_USER + 7;
constexpr UINT kIconId = 2;

std::vector<LPARAM>& Taps() {
    static std::vector<LPARAM> taps;
    return taps;
}

LRESULT TrayOwnerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kCallback && wParam == kIconId) {
        Taps().push_back(lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class TrayIconTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string reason;
        if (gtk_test::Desktop(reason) == nullptr) {
            GTEST_SKIP() << reason;
        }
        if (!gtk_test::HasTrayHost()) {
            GTEST_SKIP() << "trayer is not installed (scripts/install-deps.sh)";
        }
        ASSERT_TRUE(test_support::RegisterTestClass(u"GtkTestTrayOwner", TrayOwnerProcedure));
        Taps().clear();
        owner_ = CreateWindowExW(0, u"GtkTestTrayOwner", u"Tray owner", 0, 0, 0, 10, 10, nullptr,
                                 nullptr, gtk_test::TestInstance(), nullptr);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override {
        if (owner_ != nullptr) {
            NOTIFYICONDATAW data = Data(0, nullptr);
            Shell_NotifyIconW(NIM_DELETE, &data);
            DestroyWindow(owner_);
        }
        gtk_test::Serve(std::chrono::milliseconds(200));
    }

    NOTIFYICONDATAW Data(UINT flags, HICON icon) {
        NOTIFYICONDATAW data{};
        data.cbSize = NOTIFYICONDATAW_DEVICE_SIZE;
        data.hWnd = owner_;
        data.uID = kIconId;
        data.uFlags = flags;
        data.uCallbackMessage = kCallback;
        data.hIcon = icon;
        std::u16string tip = u"Swipetype";
        std::copy(tip.begin(), tip.end(), data.szTip);
        return data;
    }
    static HICON Picture(UINT id) {
        return LoadIconW(gtk_test::TestInstance(), MAKEINTRESOURCEW(id));
    }

    // The icon as the tray host shows it, once it is embedded there and laid out
    // (a new icon is 1 x 1 until the host has given it its place).
    bool Shown(ShownTrayIcon& shown) {
        return gtk_test::ServeUntil([&] {
            for (const ShownTrayIcon& icon : InspectTrayIcons()) {
                if (icon.window == owner_ && icon.embedded &&
                    icon.screen.right - icon.screen.left >= 8 &&
                    icon.screen.bottom - icon.screen.top >= 8) {
                    shown = icon;
                    return true;
                }
            }
            return false;
        });
    }

    bool TapSeen(LPARAM mouse) {
        return gtk_test::ServeUntil(
            [&] { return std::find(Taps().begin(), Taps().end(), mouse) != Taps().end(); });
    }

    HWND owner_ = nullptr;
};

TEST_F(TrayIconTest, PictureAndTipFollowTheCallsAndTapsComeBackAsTheCallbackMessage) {
    NOTIFYICONDATAW data = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP, Picture(103));
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    ShownTrayIcon shown;
    ASSERT_TRUE(Shown(shown)) << "the tray host did not embed the icon";
    EXPECT_EQ(shown.resourceId, 103u);
    EXPECT_EQ(shown.tip, "Swipetype");
    std::vector<unsigned char> disabled = shown.rgba;
    EXPECT_FALSE(disabled.empty());

    ASSERT_TRUE(gtk_test::ClickCentre(shown.screen));
    EXPECT_TRUE(TapSeen(WM_LBUTTONDOWN));
    EXPECT_EQ(Taps().size(), 1u);
    // Past the double-click time, so that the next click starts afresh.
    gtk_test::Serve(std::chrono::milliseconds(600));
    Taps().clear();
    ASSERT_TRUE(gtk_test::ClickCentre(shown.screen, 2));
    ASSERT_TRUE(TapSeen(WM_LBUTTONDBLCLK)) << "a double tap gave no WM_LBUTTONDBLCLK";
    EXPECT_EQ(Taps().back(), static_cast<LPARAM>(WM_LBUTTONDBLCLK));

    data = Data(NIF_ICON, Picture(102));
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &data));
    ASSERT_TRUE(gtk_test::ServeUntil([&] { return Shown(shown) && shown.resourceId == 102; }));
    EXPECT_NE(shown.rgba, disabled) << "the picture shown did not change";
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_TRUE(gtk_test::ServeUntil([&] { return InspectTrayIcons().empty(); }));
}

} // namespace
