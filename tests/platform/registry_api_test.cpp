#include <cstring>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/registry/registry.h"
#include "support/rename_count.h"
#include "support/temp_device_root.h"

namespace {

using test_support::ReadFile;
using test_support::TempDeviceRoot;

constexpr LPCWSTR kKey = u"Software\\Zelna\\Swipetype";

class RegistryApi : public testing::Test {
  protected:
    void TearDown() override { platform::ClearRegistryWriteFailure(); }

    HKEY Create(HKEY root = HKEY_LOCAL_MACHINE, LPCWSTR path = kKey) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, 0, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }

    TempDeviceRoot root_;
};

TEST_F(RegistryApi, MissingKeyIsNotFoundCreateReportsDispositionAndPersistsTheKey) {
    HKEY key = reinterpret_cast<HKEY>(0x1234);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, 0, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, reinterpret_cast<HKEY>(0x1234));
    DWORD disposition = 0;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, 0, nullptr, &key, &disposition),
        ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"software\\ZELNA\\swipetype", 0, nullptr, 0, 0,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    // The parent exists through its child; the other hive knows nothing of it.
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Zelna", 0, 0, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, 0, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_NE(ReadFile(root_.Hive("HKEY_LOCAL_MACHINE"))
                  .find("[HKEY_LOCAL_MACHINE\\Software\\Zelna\\Swipetype]"),
              std::string::npos);
}

TEST_F(RegistryApi, ValuesKeepTypeAndExactBytes) {
    HKEY key = Create();
    struct Case {
        LPCWSTR name;
        DWORD type;
        std::vector<BYTE> bytes;
    };
    const Case cases[] = {
        {u"Enable", REG_DWORD, {1, 0, 0, 0}},
        {u"Prefix", REG_SZ, {'I', 0, 'D', 0, ':', 0, 0, 0}},
        {u"Empty", REG_SZ, {0, 0}},
        {u"NoTerminator", REG_SZ, {'A', 0, 'B', 0}},
        {u"Odd", REG_SZ, {'A', 0, 'B'}},
        {u"Nothing", REG_BINARY, {}},
        {u"Raw", REG_BINARY, {0, 0xFF, 0x0A, 0x0D}},
        {u"Big", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}},
        {u"Quad", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {u"Odd type", 0x12345, {9}},
        {nullptr, REG_SZ, {'d', 0, 0, 0}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(RegSetValueExW(key, c.name, 0, c.type, c.bytes.data(),
                                 static_cast<DWORD>(c.bytes.size())),
                  ERROR_SUCCESS);
    }
    RegCloseKey(key);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, 0, &key), ERROR_SUCCESS);
    for (const Case& c : cases) {
        BYTE buffer[64];
        std::memset(buffer, 0xEE, sizeof buffer);
        DWORD type = 0xFFFFFFFF;
        DWORD size = sizeof buffer;
        ASSERT_EQ(RegQueryValueExW(key, c.name, nullptr, &type, buffer, &size), ERROR_SUCCESS);
        EXPECT_EQ(type, c.type);
        ASSERT_EQ(size, c.bytes.size());
        EXPECT_EQ(std::vector<BYTE>(buffer, buffer + size), c.bytes);
        EXPECT_EQ(buffer[size], 0xEE) << "nothing written past the value";
    }
    RegCloseKey(key);
}

TEST_F(RegistryApi, TooSmallBufferFailsAndLeavesItUntouched) {
    HKEY key = Create();
    const BYTE text[] = {'a', 0, 'b', 0, 'c', 0, 0, 0};
    ASSERT_EQ(RegSetValueExW(key, u"Prefix", 0, REG_SZ, text, sizeof text), ERROR_SUCCESS);
    for (BYTE fill : {0x00, 0xFF}) {
        BYTE buffer[7];
        std::memset(buffer, fill, sizeof buffer);
        DWORD size = sizeof buffer;
        DWORD type = 99;
        EXPECT_EQ(RegQueryValueExW(key, u"Prefix", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
        EXPECT_EQ(size, sizeof text);
        for (BYTE b : buffer) {
            EXPECT_EQ(b, fill);
        }
    }
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"Prefix", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, sizeof text);
    RegCloseKey(key);
}

TEST_F(RegistryApi, MissingValueAndBadArguments) {
    HKEY key = Create();
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_EQ(
        RegQueryValueExW(key, u"Beep", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(
        RegQueryValueExW(key, u"Beep", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), nullptr),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"x", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"two\nlines", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4),
              ERROR_INVALID_PARAMETER);
    HKEY other = nullptr;
    EXPECT_EQ(RegOpenKeyExW(key, u"\\Sub", 0, 0, &other), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegOpenKeyExW(key, u"A\\\\B", 0, 0, &other), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key, u"x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryApi, SubkeysOfOpenKeysAndValuesReplaced) {
    HKEY parent = Create(HKEY_CURRENT_USER, u"Software\\Zelna");
    HKEY child = Create(parent, u"Startup");
    const BYTE first[] = {'a', 0, 0, 0};
    const BYTE second[] = {'b', 0, 'c', 0, 0, 0};
    ASSERT_EQ(RegSetValueExW(child, u"Path", 0, REG_SZ, first, sizeof first), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(child, u"PATH", 0, REG_SZ, second, sizeof second), ERROR_SUCCESS);
    HKEY same = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Zelna\\Startup", 0, 0, &same),
              ERROR_SUCCESS);
    BYTE buffer[16];
    DWORD size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExW(same, u"path", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::vector<BYTE>(buffer, buffer + size), std::vector<BYTE>(second, second + 6));
    EXPECT_EQ(ReadFile(root_.Hive("HKEY_CURRENT_USER")).find("bc"), std::string::npos)
        << "written before its key was closed";
    // Keys that changed nothing write nothing; the one that did writes it all.
    for (HKEY key : {parent, same, child}) {
        RegCloseKey(key);
    }
    std::string file = ReadFile(root_.Hive("HKEY_CURRENT_USER"));
    EXPECT_NE(file.find("\"Path\"=\"bc\""), std::string::npos) << file;
}

// The hive is replaced once per closed or flushed key that changed it, and not
// at all when its text stays the same.
TEST_F(RegistryApi, AHiveIsWrittenOncePerClosedOrFlushedKeyThatChangedIt) {
    test_support::RenameCount renames(root_.Path() + "/registry", "HKEY_LOCAL_MACHINE.reg");
    DWORD numbers[] = {1, 2, 3};
    auto setAll = [&](HKEY key) {
        for (char16_t name[] = u"N0"; DWORD & number : numbers) {
            ++name[1];
            ASSERT_EQ(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&number),
                                     sizeof number),
                      ERROR_SUCCESS);
        }
    };
    const struct {
        const char* what;
        bool flush;
        DWORD change;
        int writes;
    } cases[] = {{"new key and values, closed", false, 0, 1},
                 {"the same values, closed", false, 0, 0},
                 {"one changed, flushed", true, 1, 1},
                 {"the same again, flushed", true, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        numbers[0] += c.change;
        HKEY key = Create();
        setAll(key);
        EXPECT_EQ(renames.Take(), 0) << "written before it was closed or flushed";
        EXPECT_EQ(c.flush ? RegFlushKey(key) : RegCloseKey(key), ERROR_SUCCESS);
        EXPECT_EQ(renames.Take(), c.writes);
        if (c.flush) {
            EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
            EXPECT_EQ(renames.Take(), 0) << "flushed changes written again at the close";
        }
    }
}

TEST_F(RegistryApi, HiveFilesAreForTheOwnerOnly) {
    HKEY key = Create();
    DWORD one = 1;
    ASSERT_EQ(RegSetValueExW(key, u"Enable", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4),
              ERROR_SUCCESS);
    RegCloseKey(key);
    struct stat info {};
    ASSERT_EQ(::stat(root_.Hive("HKEY_LOCAL_MACHINE").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat((root_.Path() + "/registry").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0u);
}

} // namespace
