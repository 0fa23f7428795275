// What the settings, autostart and tray tests share: a temporary device root, a
// window holding the controls of options dialog template 102, an in-memory
// device as COM1: with the manual clock for the readers, and the registry
// helpers to arrange and inspect stored values.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_handles.h"
#include "platform/core/clock.h"
#include "platform/core/codepage.h"
#include "platform/core/recorder.h"
#include "platform/core/system.h"
#include "platform/registry/registry.h"
#include "platform/serial/device/memory_serial_device.h"
#include "platform/shell/shell.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/window.h"
#include "reader/msr_reader.h"
#include "reader/rfid_reader.h"
#include "res/resource_ids.h"
#include "settings/setting_catalog.h"
#include "settings/settings.h"
#include "support/temp_device_root.h"
#include "support/window_class.h"

namespace app_test {

inline LRESULT StandInProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

inline void RegisterStandInClass() {
    EXPECT_TRUE(test_support::RegisterTestClass(u"AppTestWindow", StandInProcedure));
}

// A window with the controls of template 102 that the Settings are shown in.
inline HWND MakeOptionsStandIn() {
    RegisterStandInClass();
    HWND dialog = CreateWindowExW(0, u"AppTestWindow", u"Options", 0, 0, 0, 240, 300, nullptr,
                                  nullptr, nullptr, nullptr);
    auto add = [&](LPCWSTR cls, int id, DWORD style) {
        CreateWindowExW(0, cls, u"", WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, dialog,
                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
    };
    const int radioPairs[][2] = {{IDC_READING_ENABLE, IDC_READING_DISABLE},
                                 {IDC_BEEP_ENABLE, IDC_BEEP_DISABLE},
                                 {IDC_INPUT_MSR, IDC_INPUT_RFID},
                                 {IDC_AUTOSTART_ENABLE, IDC_AUTOSTART_DISABLE}};
    for (const auto& pair : radioPairs) {
        add(u"BUTTON", pair[0], BS_AUTORADIOBUTTON | WS_GROUP);
        add(u"BUTTON", pair[1], BS_AUTORADIOBUTTON);
    }
    for (int id : {IDC_PREFIX, IDC_SUFFIX, IDC_TRACK_SEPARATOR}) {
        add(u"EDIT", id, WS_GROUP | ES_AUTOHSCROLL);
    }
    for (int id : {IDC_SEND_ENTER, IDC_SEND_TAB, IDC_TRACK1, IDC_TRACK2, IDC_TRACK3}) {
        add(u"BUTTON", id, BS_AUTOCHECKBOX | WS_GROUP);
    }
    return dialog;
}

inline WPARAM Check(HWND dialog, int id) {
    return static_cast<WPARAM>(SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0));
}

inline std::u16string Text(HWND dialog, int id) {
    std::vector<WCHAR> buffer(4096);
    int length = GetWindowTextW(GetDlgItem(dialog, id), buffer.data(), 4096);
    return std::u16string(buffer.data(), static_cast<std::size_t>(length));
}

inline HKEY OpenOrCreate(HKEY root, LPCWSTR path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, 0, nullptr, &key, nullptr), ERROR_SUCCESS);
    return key;
}

inline void StoreBytes(HKEY root, LPCWSTR path, LPCWSTR name, DWORD type,
                       const std::vector<BYTE>& bytes) {
    HKEY key = OpenOrCreate(root, path);
    EXPECT_EQ(RegSetValueExW(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

inline std::vector<BYTE> TextBytes(std::u16string_view text, bool terminated = true) {
    std::vector<BYTE> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<BYTE>(unit & 0xFF));
        bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
    if (terminated) {
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

inline std::vector<BYTE> DwordBytes(DWORD value) {
    return {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
            static_cast<BYTE>(value >> 24)};
}

constexpr LPCWSTR kStartupKey = u"Software\\Zelna\\Startup";

inline void StoreSetting(LPCWSTR name, DWORD value) {
    StoreBytes(HKEY_LOCAL_MACHINE, kSettingsKey, name, REG_DWORD, DwordBytes(value));
}

inline void StoreSetting(LPCWSTR name, std::u16string_view text) {
    StoreBytes(HKEY_LOCAL_MACHINE, kSettingsKey, name, REG_SZ, TextBytes(text));
}

// The stored value's type and bytes; type REG_NONE and no bytes when absent.
struct Stored {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
    bool present = false;
};

inline Stored ReadStored(HKEY root, LPCWSTR path, LPCWSTR name) {
    Stored stored;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, 0, &key) != ERROR_SUCCESS) {
        return stored;
    }
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        stored.bytes.resize(size);
        stored.present = RegQueryValueExW(key, name, nullptr, &stored.type, stored.bytes.data(),
                                          &size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return stored;
}

inline Stored StoredSetting(LPCWSTR name) {
    return ReadStored(HKEY_LOCAL_MACHINE, kSettingsKey, name);
}

// The fixture: platform state is put back as it was after each test.
class AppTest : public testing::Test {
  protected:
    void SetUp() override {
        savedSettings_ = Settings;
        Settings = DefaultSettings();
        platform::ResetMessageLoop();
        platform::UseManualClock(platform::Milliseconds{0});
        device_ = std::make_shared<platform::MemorySerialDevice>();
        device_->SetModemLines(false);
        platform::AttachMemorySerialDevice(1, device_);
        dialog_ = MakeOptionsStandIn();
        ASSERT_NE(dialog_, nullptr);
        MainWindow = CreateWindowExW(0, u"AppTestWindow", u"Swipetype", 0, 0, 0, 240, 300, nullptr,
                                     nullptr, nullptr, nullptr);
        platform::ClearTrayIcons();
        platform::StartRecording();
    }

    void TearDown() override {
        platform::StopRecording();
        platform::ClearRegistryWriteFailure();
        platform::ClearTrayIcons();
        StopMSRReader(dialog_);
        StopRFIDReader(dialog_);
        ReaderPort = 0;
        ReadCount = 0;
        platform::DetachMemorySerialDevice(1);
        DestroyWindow(dialog_);
        DestroyWindow(MainWindow);
        MainWindow = nullptr;
        platform::ResetMessageLoop();
        platform::UseRealClock();
        platform::SetAnsiCodePage(1252);
        Settings = savedSettings_;
    }

    test_support::TempDeviceRoot root_;
    HWND dialog_ = nullptr;
    std::shared_ptr<platform::MemorySerialDevice> device_;
    SettingsRecord savedSettings_{};
};

} // namespace app_test
