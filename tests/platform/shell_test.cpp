#include <regex>

#include <gtest/gtest.h>

#include "platform/core/event_log.h"
#include "platform/core/recorder.h"
#include "platform/resources/resources.h"
#include "platform/shell/shell.h"
#include "support/temp_device_root.h"

namespace {

using platform::RecordedTray;

HWND FakeWindow() {
    return reinterpret_cast<HWND>(0x4242);
}

HICON Icon(UINT id) {
    return static_cast<HICON>(LoadImageW(nullptr, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
}

NOTIFYICONDATAW Record(HICON icon, std::u16string_view tip, UINT id = 2) {
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_DEVICE_SIZE;
    data.hWnd = FakeWindow();
    data.uID = id;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = 1801;
    data.hIcon = icon;
    tip.copy(data.szTip, std::min<std::size_t>(tip.size(), 63));
    return data;
}

class Shell : public testing::Test {
  protected:
    void SetUp() override {
        platform::ClearTrayIcons();
        platform::StartRecording();
    }
    void TearDown() override {
        platform::StopRecording();
        platform::ClearTrayIcons();
        platform::SetTrayIconListener(nullptr);
        platform::CloseEventLog();
    }
};

TEST_F(Shell, AddModifyDeleteKeepTheIconState) {
    HICON enabled = Icon(102);
    HICON disabled = Icon(103);
    int changes = 0;
    platform::SetTrayIconListener([&] { ++changes; });

    NOTIFYICONDATAW data = Record(disabled, u"Swipetype");
    EXPECT_TRUE(Shell_NotifyIcon(NIM_ADD, &data));
    std::vector<platform::TrayIcon> icons = platform::TrayIcons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0], (platform::TrayIcon{FakeWindow(), 2, 1801, disabled, 103, u"Swipetype"}));

    // A second addition fails and leaves the former picture.
    NOTIFYICONDATAW again = Record(enabled, u"Other");
    EXPECT_FALSE(Shell_NotifyIcon(NIM_ADD, &again));
    EXPECT_EQ(platform::TrayIcons()[0].iconResourceId, 103u);

    NOTIFYICONDATAW modify = Record(enabled, u"");
    modify.uFlags = NIF_ICON;
    EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &modify));
    EXPECT_EQ(platform::TrayIcons()[0].iconResourceId, 102u);
    EXPECT_EQ(platform::TrayIcons()[0].tip, u"Swipetype");

    EXPECT_TRUE(Shell_NotifyIcon(NIM_DELETE, &data));
    EXPECT_TRUE(platform::TrayIcons().empty());
    EXPECT_FALSE(Shell_NotifyIcon(NIM_DELETE, &data));
    EXPECT_FALSE(Shell_NotifyIcon(NIM_MODIFY, &data));
    EXPECT_EQ(changes, 3);

    EXPECT_EQ(platform::Recorded().tray,
              (std::vector<RecordedTray>{{"add", 103, u"Swipetype", true},
                                         {"add", 102, u"Other", false},
                                         {"modify", 102, u"Swipetype", true},
                                         {"delete", 0, u"", true},
                                         {"delete", 0, u"", false},
                                         {"modify", 103, u"Swipetype", false}}));
}

TEST_F(Shell, ATipWithoutItsEndIsCutAtSixtyThreeCharacters) {
    NOTIFYICONDATAW data = Record(Icon(102), u"");
    std::fill(std::begin(data.szTip), std::end(data.szTip), u'x');
    EXPECT_TRUE(Shell_NotifyIcon(NIM_ADD, &data));
    EXPECT_EQ(platform::TrayIcons()[0].tip, std::u16string(63, u'x'));
}

TEST_F(Shell, EventLogLinesAreAsDocumented) {
    test_support::TempDeviceRoot folder;
    std::string path = folder.Path() + "/events.log";
    std::string error;
    ASSERT_TRUE(platform::OpenEventLog(path, error)) << error;
    NOTIFYICONDATAW data = Record(Icon(102), u"Swipetype \"1\"");
    Shell_NotifyIcon(NIM_ADD, &data);
    Shell_NotifyIcon(NIM_ADD, &data);
    Shell_NotifyIcon(NIM_DELETE, &data);
    platform::CloseEventLog();

    std::string log = test_support::ReadFile(path);
    // Each line with the tick count and the wall-clock time, ISO 8601 in UTC.
    std::string at = R"(\{"t":\d+,"time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z",)";
    std::regex expected(at + R"("event":"tray","op":"add","icon":102,"tip":"Swipetype \\"1\\""\}
)" + at + R"("event":"tray","op":"add","icon":102,"tip":"Swipetype \\"1\\"","ok":false\}
)" + at + R"("event":"tray","op":"delete"\}
)");
    EXPECT_TRUE(std::regex_match(log, expected)) << log;
}

} // namespace
