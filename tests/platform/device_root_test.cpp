#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/core/codepage.h"
#include "platform/core/system.h"
#include "platform/fs/device_root.h"
#include "platform/fs/files.h"
#include "support/scoped_environment.h"
#include "support/temp_device_root.h"

namespace {

using test_support::ReadFile;
using test_support::TempDeviceRoot;

using test_support::ScopedEnvironment;

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

TEST(DeviceRoot, ChosenFromOptionThenEnvironmentThenXdgAndMadeAbsolute) {
    TempDeviceRoot scratch;
    platform::SetDeviceRoot("");
    ScopedEnvironment root("SWIPETYPE_ROOT", nullptr);
    ScopedEnvironment data("XDG_DATA_HOME", (scratch.Path() + "/data").c_str());
    EXPECT_EQ(platform::DeviceRoot(), scratch.Path() + "/data/swipetype");
    {
        ScopedEnvironment relative("XDG_DATA_HOME", "relative/data");
        ScopedEnvironment home("HOME", (scratch.Path() + "/home").c_str());
        EXPECT_EQ(platform::DeviceRoot(), scratch.Path() + "/home/.local/share/swipetype");
    }
    ScopedEnvironment fromEnvironment("SWIPETYPE_ROOT", (scratch.Path() + "/env/").c_str());
    EXPECT_EQ(platform::DeviceRoot(), scratch.Path() + "/env");
    platform::SetDeviceRoot(scratch.Path() + "/option");
    EXPECT_EQ(platform::DeviceRoot(), scratch.Path() + "/option");
    // A relative option is taken from the folder the program starts in.
    char old[4096];
    ASSERT_NE(::getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(::chdir(scratch.Path().c_str()), 0);
    platform::SetDeviceRoot("device");
    ASSERT_EQ(::chdir(old), 0);
    EXPECT_EQ(platform::DeviceRoot(), scratch.Path() + "/device");
}

TEST(DeviceRoot, NewRootHasTheFoldersOfANewDeviceAnUnusableOneAClearError) {
    TempDeviceRoot scratch;
    std::string root = scratch.Path() + "/new/root";
    platform::SetDeviceRoot(root);
    std::string error;
    ASSERT_TRUE(platform::PrepareDeviceRoot(error)) << error;
    EXPECT_TRUE(IsFolder(root + "/fs/Application/Startup"));
    struct stat info {};
    ASSERT_EQ(::stat(root.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    test_support::WriteFile(scratch.Path() + "/file", "x");
    platform::SetDeviceRoot(scratch.Path() + "/file/root");
    EXPECT_FALSE(platform::PrepareDeviceRoot(error));
    EXPECT_NE(error.find(scratch.Path() + "/file/root"), std::string::npos) << error;
}

struct Mapping {
    std::u16string_view device;
    LONG result;
    std::string host; // relative to the root unless it starts with '/'
};

TEST(DeviceRoot, DevicePathsMapIntoTheFileSystem) {
    TempDeviceRoot scratch;
    const Mapping cases[] = {
        {u"\\Application\\Startup\\Swipetype.RUN", ERROR_SUCCESS,
         "fs/Application/Startup/Swipetype.RUN"},
        {u"\\Application\\Startup\\\\Swipetype.RUN", ERROR_SUCCESS,
         "fs/Application/Startup/Swipetype.RUN"},
        {u"Swipetype.RUN", ERROR_SUCCESS, "fs/Swipetype.RUN"},
        {u"\\a\\.\\b\\..\\c", ERROR_SUCCESS, "fs/a/c"},
        {u"\\", ERROR_SUCCESS, "fs"},
        {u"\\..\\registry\\HKEY_LOCAL_MACHINE.reg", ERROR_ACCESS_DENIED, ""},
        {u"\\a\\..\\..\\x", ERROR_ACCESS_DENIED, ""},
        {u"\\a/../../x", ERROR_ACCESS_DENIED, ""},
        {u"..", ERROR_ACCESS_DENIED, ""},
        {u"", ERROR_INVALID_NAME, ""},
        {std::u16string_view(u"\\a\xD800", 3), ERROR_INVALID_NAME, ""},
        {u"/usr/bin\\swipetype", ERROR_SUCCESS, "/usr/bin/swipetype"},
        {u"/tmp/../etc", ERROR_SUCCESS, "/tmp/../etc"},
        {u"\\Caf\u00E9", ERROR_SUCCESS, "fs/Caf\xC3\xA9"},
    };
    for (const Mapping& c : cases) {
        std::string host = "unchanged";
        EXPECT_EQ(platform::DeviceToHostPath(c.device, host), c.result)
            << std::string(c.device.begin(), c.device.end());
        if (c.result == ERROR_SUCCESS) {
            std::string expected = c.host.front() == '/' ? c.host : scratch.Path() + "/" + c.host;
            EXPECT_EQ(host, expected);
        }
    }
}

class DeviceFiles : public testing::Test {
  protected:
    void TearDown() override { platform::SetAnsiCodePage(1252); }
    TempDeviceRoot root_;
};

TEST_F(DeviceFiles, NarrowFopenWritesExactBytesReadableByAll) {
    mode_t old = ::umask(0077);
    using device::fopen;
    FILE* file = fopen("\\Application\\Startup\\Swipetype.RUN", "w+t");
    ::umask(old);
    ASSERT_NE(file, nullptr);
    const char content[] = "/usr/bin/swipetype\rMIN";
    EXPECT_EQ(std::fwrite(content, std::strlen(content), 1, file), 1u);
    EXPECT_EQ(std::fclose(file), 0);
    std::string path = root_.Fs("Application/Startup/Swipetype.RUN");
    EXPECT_EQ(ReadFile(path), content);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);

    // Rewriting empties the file first and tightens a loose mode.
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    file = fopen("\\Application\\Startup\\Swipetype.RUN", "w");
    ASSERT_NE(file, nullptr);
    std::fputs("x", file);
    std::fclose(file);
    EXPECT_EQ(ReadFile(path), "x");
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(DeviceFiles, NarrowPathsAreInTheAnsiCodePage) {
    using device::fopen;
    FILE* file = fopen("\\Caf\xE9.txt", "w"); // é in Windows-1252
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_TRUE(std::filesystem::exists(root_.Fs("Caf\xC3\xA9.txt")));
    platform::SetAnsiCodePage(CP_UTF8);
    file = fopen("\\Caf\xC3\xA9.txt", "r");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
}

TEST_F(DeviceFiles, DeleteFileReportsWhatWentWrong) {
    test_support::WriteFile(root_.Fs("Application/Startup/Swipetype.RUN"), "x");
    EXPECT_TRUE(DeleteFileW(u"\\Application\\Startup\\Swipetype.RUN"));
    EXPECT_FALSE(std::filesystem::exists(root_.Fs("Application/Startup/Swipetype.RUN")));
    SetLastError(0);
    EXPECT_FALSE(DeleteFileW(u"\\Application\\Startup\\Swipetype.RUN"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    test_support::WriteFile(root_.Fs("Application/Startup/Plain"), "x");
    EXPECT_FALSE(DeleteFileW(u"\\Application\\Startup\\Plain\\Inside"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(DeleteFileW(u"\\Application\\Startup"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteFileW(u"\\..\\registry"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(std::filesystem::exists(root_.Fs("Application/Startup")));
}

TEST(ModuleFileName, IsTheRunningExecutable) {
    std::string expected = std::filesystem::read_symlink("/proc/self/exe").string();
    WCHAR buffer[1024];
    std::fill(std::begin(buffer), std::end(buffer), u'\xFFFF');
    DWORD length = GetModuleFileNameW(nullptr, buffer, 1024);
    ASSERT_EQ(length, expected.size());
    EXPECT_EQ(std::u16string(buffer, length), std::u16string(expected.begin(), expected.end()));
    EXPECT_EQ(buffer[length], u'\0');

    std::fill(std::begin(buffer), std::end(buffer), u'\xFFFF');
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::u16string(buffer, 4), std::u16string(expected.begin(), expected.begin() + 4));
    EXPECT_EQ(buffer[4], u'\0');
    EXPECT_EQ(buffer[5], u'\xFFFF');
}

} // namespace
