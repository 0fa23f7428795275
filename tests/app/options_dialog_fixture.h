// The options and About dialog tests: the real options dialog, created from
// template 102 as a child of a main window, over the app fixture's device root,
// in-memory COM1: and manual clock.
#pragma once

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "app/about_dialog.h"
#include "app/app_fixture.h"
#include "app/autostart.h"
#include "app/main_window_state.h"
#include "app/options_dialog.h"
#include "app/settings_store.h"
#include "app/tray_icon.h"
#include "platform/resources/resources.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window_view.h"
#include "reader/line_reader.h"

namespace app_test {

inline HINSTANCE TestInstance() {
    return reinterpret_cast<HINSTANCE>(0x400000);
}

class OptionsDialogTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        ShellActivateInfo = SHACTIVATEINFO{};
        ShellActivateInfo.cbSize = kShellActivateInfoDeviceSize;
        MenuBar = CreateWindowExW(0, u"AppTestWindow", u"menu bar", WS_POPUP, 0, 294, 240, 26,
                                  MainWindow, nullptr, nullptr, nullptr);
        ShowWindow(MainWindow, SW_SHOW);
    }

    void TearDown() override {
        if (IsWindow(options_)) {
            StopEveryReader(options_);
            DestroyWindow(options_);
        }
        if (IsWindow(MenuBar)) {
            DestroyWindow(MenuBar);
        }
        MenuBar = nullptr;
        TrayIconData = NOTIFYICONDATAW{};
        AppTest::TearDown();
    }

    // Creates the dialog as the main window does on UM_SHOW_OPTIONS, and starts
    // the recording afresh so that a test sees only what follows.
    void CreateDialog() {
        AddTrayIcon();
        options_ = CreateOptionsDialog(MainWindow, TestInstance());
        ASSERT_NE(options_, nullptr);
        ShowWindow(options_, SW_SHOW);
        platform::StartRecording();
        device_->ClearCalls();
    }

    void Click(int id) { SendMessageW(GetDlgItem(options_, id), BM_CLICK, 0, 0); }

    // Opens of COM1: since the recording started, and the baud rate last set.
    int PortOpens() const {
        return static_cast<int>(
            std::count(device_->Calls().begin(), device_->Calls().end(), platform::CommCall::Open));
    }
    DWORD LastBaudRate() const {
        return device_->AppliedSettings().empty() ? 0 : device_->AppliedSettings().back().BaudRate;
    }
    // True when the tray was refreshed: a removal followed by an addition.
    static bool TrayRefreshed() {
        const auto& tray = platform::Recorded().tray;
        return tray.size() == 2 && tray[0].op == "delete" && tray[1].op == "add";
    }
    static UINT TrayPicture() {
        auto icons = platform::TrayIcons();
        return icons.empty() ? 0 : icons[0].iconResourceId;
    }
    std::string StartupFile() const { return root_.Fs("Application/Startup/Swipetype.RUN"); }

    HWND options_ = nullptr;
};

} // namespace app_test
