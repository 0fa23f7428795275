// The shell's input panel calls on their own; the menu bar is the main window's test.
#include <gtest/gtest.h>

#include "platform/core/system.h"
#include "platform/shell/input_panel.h"
#include "platform/windowing/window.h"

namespace {

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
