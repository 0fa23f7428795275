// A file replaced whole keeps the replaced file's mode, and a replace that
// fails leaves the old file and no temporary behind.
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/core/atomic_file.h"
#include "support/temp_device_root.h"
#include "support/temp_dir.h"

namespace {

using test_support::ReadFile;
using test_support::WriteFile;

std::size_t Entries(const std::string& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST(AtomicFileTest, AReplacedFileKeepsItsModeAndAFailedOneLeavesNoTrace) {
    test_support::TempDir dir;
    std::string file = dir.Path() + "/kept";
    WriteFile(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    platform::ReplaceFailure failure;
    ASSERT_TRUE(platform::ReplaceFile(file, "new", {}, failure)) << failure.reason;
    EXPECT_EQ(ReadFile(file), "new");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    // A folder in the way: the rename fails after the temporary was written.
    std::string folder = dir.Path() + "/folder";
    std::filesystem::create_directories(folder + "/inside");
    platform::FileReplacement how;
    how.keepOwner = false;
    EXPECT_FALSE(platform::ReplaceFile(folder, "text", how, failure));
    EXPECT_FALSE(failure.ownerRefused);
    EXPECT_EQ(failure.Sentence(folder), "cannot write " + folder + ": " + std::strerror(EISDIR));
    EXPECT_EQ(Entries(dir.Path()), 2u) << "a temporary was left";
}

} // namespace
