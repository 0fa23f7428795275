#include <filesystem>
#include <iterator>

#include "app/app_fixture.h"
#include "app/autostart.h"
#include "support/child_process.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace {

using namespace app_test;
using test_support::ReadFile;

// The host path of this test program, as the startup file must name it.
std::string ProgramPath() {
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

class AutoStart : public AppTest {
  protected:
    std::string DefaultFile() const { return root_.Fs("Application/Startup/Swipetype.RUN"); }

    static void StorePath(std::u16string_view folder) {
        StoreBytes(HKEY_CURRENT_USER, kStartupKey, u"Path", REG_SZ, TextBytes(folder));
    }
};

TEST_F(AutoStart, WithoutTheKeyTheDefaultFolderIsUsed) {
    EXPECT_EQ(SetAutoStart(nullptr, TRUE), 1);
    EXPECT_EQ(ReadFile(DefaultFile()), ProgramPath() + "\rMIN");

    EXPECT_EQ(SetAutoStart(nullptr, FALSE), 1);
    EXPECT_FALSE(std::filesystem::exists(DefaultFile()));
}

TEST_F(AutoStart, SwitchingOnTwiceRewritesOneFileFromTheStart) {
    test_support::WriteFile(DefaultFile(), std::string(600, 'j'));
    ASSERT_EQ(SetAutoStart(nullptr, TRUE), 1);
    ASSERT_EQ(SetAutoStart(nullptr, TRUE), 1);
    EXPECT_EQ(ReadFile(DefaultFile()), ProgramPath() + "\rMIN");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root_.Fs("Application/Startup")),
                            std::filesystem::directory_iterator{}),
              1);
}

// The "Path" value names the folder; "\\Kiosk\\" + "\\Swipetype.RUN" has two
// backslashes in a row, which the device file system reads as one separator.
TEST_F(AutoStart, FolderFromTheRegistry) {
    struct Case {
        std::u16string path;
        std::string folder;
    };
    const Case cases[] = {{u"\\Kiosk\\Boot", "Kiosk/Boot"},
                          {u"\\Kiosk\\", "Kiosk"},
                          {u"\\D\u00E9marrage", "D\xC3\xA9marrage"}};
    ASSERT_TRUE(platform::SetAnsiCodePage(CP_UTF8));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        std::filesystem::create_directories(root_.Fs(c.folder));
        StorePath(c.path);
        ASSERT_EQ(SetAutoStart(nullptr, TRUE), 1);
        EXPECT_EQ(ReadFile(root_.Fs(c.folder + "/Swipetype.RUN")), ProgramPath() + "\rMIN");
        EXPECT_FALSE(std::filesystem::exists(DefaultFile()));
        ASSERT_EQ(SetAutoStart(nullptr, FALSE), 1);
        EXPECT_FALSE(std::filesystem::exists(root_.Fs(c.folder + "/Swipetype.RUN")));
    }
}

TEST_F(AutoStart, OverlongPathValueFallsBackToTheDefault) {
    StorePath(u"\\" + std::u16string(130, u'a')); // 131 characters and a terminator
    ASSERT_EQ(SetAutoStart(nullptr, TRUE), 1);
    EXPECT_TRUE(std::filesystem::exists(DefaultFile()));
}

// A "Path" of exactly 260 bytes without a terminator ends where its bytes end.
TEST_F(AutoStart, UnterminatedPathValueEndsWithItsBytes) {
    std::u16string folder = u"\\" + std::u16string(129, u'b');
    std::filesystem::create_directories(root_.Fs(std::string(129, 'b')));
    StoreBytes(HKEY_CURRENT_USER, kStartupKey, u"Path", REG_SZ, TextBytes(folder, false));
    ASSERT_EQ(SetAutoStart(nullptr, TRUE), 1);
    EXPECT_EQ(ReadFile(root_.Fs(std::string(129, 'b') + "/Swipetype.RUN")),
              ProgramPath() + "\rMIN");
}

// In UTF-8, 129 characters can need far more than the 264-byte path buffer.
TEST_F(AutoStart, FolderThatDoesNotFitThePathBufferIsRefused) {
    ASSERT_TRUE(platform::SetAnsiCodePage(CP_UTF8));
    std::u16string folder = u"\\Application\\" + std::u16string(100, u'\u20AC');
    StorePath(folder);
    test_support::WriteFile(DefaultFile(), "left alone");
    EXPECT_EQ(SetAutoStart(nullptr, TRUE), 1);
    EXPECT_EQ(SetAutoStart(nullptr, FALSE), 1);
    EXPECT_EQ(ReadFile(DefaultFile()), "left alone");
    EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(root_.Fs("")),
                            std::filesystem::recursive_directory_iterator{}),
              3)
        << "Application, Startup and the file: nothing new";
}

// The startup file's content (the program's path, CR, "MIN") fits the 264-byte
// buffer with its terminator, or no file is written: this test program is run
// again from hard links whose UTF-8 paths are one byte short of the limit and
// exactly at it, in characters well within the path buffer.
constexpr char kFitsVariable[] = "SWIPETYPE_TEST_STARTUP_CONTENT_FITS";

TEST_F(AutoStart, ContentAtTheBufferLimit) {
    ASSERT_TRUE(platform::SetAnsiCodePage(CP_UTF8));
    if (const char* fits = std::getenv(kFitsVariable)) { // run again from a link
        EXPECT_EQ(SetAutoStart(nullptr, TRUE), 1);
        EXPECT_EQ(std::filesystem::exists(DefaultFile()), std::string(fits) == "1");
        return;
    }
    test_support::TempDir links;
    const std::size_t limit = 264 - std::string("\rMIN").size() - 1; // longest path that fits
    for (std::size_t length : {limit, limit + 1}) {
        std::string folder = links.Path() + "/" + std::to_string(length) + "/";
        std::string name;
        while (folder.size() + name.size() + 3 <= length) {
            name += "\u20AC";
        }
        name.append(length - folder.size() - name.size(), 'x');
        std::filesystem::create_directories(folder);
        std::filesystem::create_hard_link(ProgramPath(), folder + name);
        ASSERT_EQ((folder + name).size(), length);
        test_support::ScopedEnvironment fits(kFitsVariable, length <= limit ? "1" : "0");
        test_support::ChildResult run = test_support::RunServingLoop(
            folder + name, {"--gtest_filter=AutoStart.ContentAtTheBufferLimit"});
        EXPECT_EQ(run.status, 0) << length << " bytes: " << run.out;
    }
}

} // namespace
