// What the app tests share: the readers' set-up (tests/support/reader_port_fixture.h),
// a temporary device root, a stand-in main window, and the registry helpers to
// arrange and inspect stored values.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_handles.h"
#include "platform/core/codepage.h"
#include "platform/core/system.h"
#include "platform/registry/registry.h"
#include "platform/shell/shell.h"
#include "platform/windowing/window.h"
#include "res/resource_ids.h"
#include "settings/setting_catalog.h"
#include "support/reader_port_fixture.h"
#include "support/temp_device_root.h"
#include "support/window_class.h"

namespace app_test {

inline LRESULT StandInProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

inline void RegisterStandInClass() {
    EXPECT_TRUE(test_support::RegisterTestClass(u"AppTestWindow", StandInProcedure));
}

inline WPARAM Check(HWND dialog, int id) {
    return static_cast<WPARAM>(SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0));
}

inline std::u16string Text(HWND dialog, int id) {
    std::vector<WCHAR> buffer(4096);
    int length = GetWindowTextW(GetDlgItem(dialog, id), buffer.data(), 4096);
    return std::u16string(buffer.data(), static_cast<std::size_t>(length));
}

inline void StoreBytes(HKEY root, LPCWSTR path, LPCWSTR name, DWORD type,
                       const std::vector<BYTE>& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, 0, nullptr, &key, nullptr), ERROR_SUCCESS);
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
        bytes.insert(bytes.end(), {0, 0});
    }
    return bytes;
}

constexpr LPCWSTR kStartupKey = u"Software\\Zelna\\Startup";

inline void StoreSetting(LPCWSTR name, DWORD value) {
    StoreBytes(HKEY_LOCAL_MACHINE, kSettingsKey, name, REG_DWORD,
               {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)});
}

inline void StoreSetting(LPCWSTR name, std::u16string_view text) {
    StoreBytes(HKEY_LOCAL_MACHINE, kSettingsKey, name, REG_SZ, TextBytes(text));
}

// The settings' hive file, in which a text stored with its one terminator is
// a quoted line ("Prefix"="ID:") and a number a dword line.
inline std::string HiveText(const test_support::TempDeviceRoot& root) {
    return test_support::ReadFile(root.Hive("HKEY_LOCAL_MACHINE"));
}

inline void ExpectStored(const test_support::TempDeviceRoot& root,
                         std::initializer_list<std::string> lines) {
    std::string hive = HiveText(root);
    for (const std::string& line : lines) {
        EXPECT_NE(hive.find(line + "\n"), std::string::npos) << line << " in\n" << hive;
    }
}

// The fixture: platform state is put back as it was after each test.
class AppTest : public test_support::ReaderPortTest {
  protected:
    void SetUp() override {
        ReaderPortTest::SetUp();
        RegisterStandInClass();
        MainWindow = CreateWindowExW(0, u"AppTestWindow", u"Swipetype", 0, 0, 0, 240, 300, nullptr,
                                     nullptr, nullptr, nullptr);
        platform::ClearTrayIcons();
    }

    void TearDown() override {
        ReaderPortTest::TearDown();
        platform::ClearRegistryWriteFailure();
        platform::ClearTrayIcons();
        DestroyWindow(MainWindow);
        MainWindow = nullptr;
        platform::ResetMessageLoop();
        platform::SetAnsiCodePage(1252);
    }

    test_support::TempDeviceRoot root_;
};

} // namespace app_test
