// The shell's menu bar and input panel calls on their own.
#include <gtest/gtest.h>

#include "platform/core/system.h"
#include "platform/shell/input_panel.h"
#include "platform/shell/menu_bar.h"
#include "platform/windowing/window.h"
#include "support/window_class.h"

namespace {

const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(0x10000);

TEST(MenuBarTest, RefusesBadRecordsParentsAndResources) {
    SHMENUBARINFO info{};
    EXPECT_EQ(SHCreateMenuBar(nullptr), FALSE);
    info.cbSize = 12;
    EXPECT_EQ(SHCreateMenuBar(&info), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    info.cbSize = kMenuBarInfoDeviceSize;
    info.hwndParent = reinterpret_cast<HWND>(0x1234);
    info.nToolBarId = 102;
    info.hInstRes = kInstance;
    EXPECT_EQ(SHCreateMenuBar(&info), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);

    ASSERT_TRUE(test_support::RegisterTestClass(u"MenuBarOwner", DefWindowProcW));
    HWND owner = CreateWindowExW(0, u"MenuBarOwner", u"owner", 0, 0, 0, 240, 294, nullptr, nullptr,
                                 kInstance, nullptr);
    info.hwndParent = owner;
    info.nToolBarId = 4242; // no such resource
    EXPECT_EQ(SHCreateMenuBar(&info), FALSE);
    EXPECT_EQ(info.hwndMB, nullptr);

    info.nToolBarId = 102;
    ASSERT_EQ(SHCreateMenuBar(&info), TRUE);
    EXPECT_TRUE(IsWindow(info.hwndMB));
    EXPECT_TRUE(IsWindowVisible(info.hwndMB));
    DestroyWindow(info.hwndMB);
    DestroyWindow(owner);
}

TEST(InputPanelTest, WithoutAPanelTheCallsSaySoAFrontEndsPanelIsReportedAndMoved) {
    platform::SetInputPanel({});
    EXPECT_EQ(SipStatus(), SIP_STATUS_UNAVAILABLE);
    SIPINFO info{};
    info.cbSize = kSipInfoDeviceSize;
    EXPECT_EQ(SipGetInfo(&info), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(SipShowIM(SIPF_OFF), FALSE);

    bool up = true;
    platform::SetInputPanel({[&] { return up; }, [&](bool show) { up = show; }});
    EXPECT_EQ(SipStatus(), SIP_STATUS_AVAILABLE);
    info.cbSize = 7;
    EXPECT_EQ(SipGetInfo(&info), FALSE);
    info.cbSize = kSipInfoDeviceSize;
    ASSERT_EQ(SipGetInfo(&info), TRUE);
    EXPECT_EQ(info.fdwFlags & SIPF_ON, SIPF_ON);
    EXPECT_EQ(SipShowIM(SIPF_OFF), TRUE);
    EXPECT_FALSE(up);
    platform::SetInputPanel({});
}

} // namespace
