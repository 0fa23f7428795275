// The hive files on disk: hand-written hives survive the program's writes,
// damaged ones keep their readable lines and their original beside them, and a
// crash in the middle of a write leaves the old hive whole.
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/core/recorder.h"
#include "platform/core/strict_utf8.h"
#include "platform/registry/hive_file.h"
#include "platform/registry/registry.h"
#include "support/child_process.h"
#include "support/temp_device_root.h"

namespace {

using test_support::ReadFile;
using test_support::TempDeviceRoot;
using test_support::WriteFile;

constexpr std::string_view kHandWritten = "Windows Registry Editor Version 5.00\r\n"
                                          "\r\n"
                                          "; Settings for the terminal in bay 3\r\n"
                                          "[HKEY_LOCAL_MACHINE\\Software\\Zelna\\Swipetype]\r\n"
                                          "\"Enable\"=dword:00000001\r\n"
                                          "; keep the odd binary value\r\n"
                                          "\"Calibration\"=hex:de,ad,be,ef\r\n"
                                          "\"Prefix\"=\"old\"\r\n"
                                          "\r\n"
                                          "[HKEY_LOCAL_MACHINE\\Software\\Other Vendor]\r\n"
                                          "\"Name\"=\"Caf\xC3\xA9 \\\"quoted\\\"\"\r\n"
                                          "\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n";

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<BYTE> Query(LPCWSTR path, LPCWSTR name, DWORD* type = nullptr) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, 0, &key) != ERROR_SUCCESS) {
        return {};
    }
    BYTE buffer[256];
    DWORD size = sizeof buffer;
    LONG result = RegQueryValueExW(key, name, nullptr, type, buffer, &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::vector<BYTE>(buffer, buffer + size) : std::vector<BYTE>{};
}

LONG SetText(LPCWSTR name, const std::u16string& text) {
    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Zelna\\Swipetype", 0, nullptr, 0,
                                  0, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    result = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * 2));
    RegCloseKey(key);
    return result;
}

class HiveFileTest : public testing::Test {
  protected:
    void SetUp() override { platform::StartRecording(); }
    void TearDown() override {
        platform::StopRecording();
        platform::hive::SetBeforeHiveRename(nullptr);
    }
    std::string Hive() const { return root_.Hive("HKEY_LOCAL_MACHINE"); }

    TempDeviceRoot root_;
};

// The text in one of the encodings a hive file comes in; "" marks none.
std::string Encoded(std::string_view text, std::string_view mark) {
    if (mark.size() != 2) {
        return std::string(mark) + std::string(text);
    }
    std::string bytes(mark);
    std::u16string units = platform::DecodeUtf8(text).value_or(u"");
    for (char16_t unit : units) {
        char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit);
        bytes += mark[0] == '\xFE' ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST_F(HiveFileTest, HandWrittenHiveIsWrittenBackAsItWasSaveWhatChanged) {
    std::string expected(kHandWritten);
    expected.replace(expected.find("\"old\""), 5, "\"ID:\"\r\n\"Suffix\"=\"\"");
    for (std::string_view mark : {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
        SCOPED_TRACE(testing::PrintToString(std::string(mark)));
        WriteFile(Hive(), Encoded(kHandWritten, mark));
        ASSERT_EQ(SetText(u"Prefix", u"ID:"), ERROR_SUCCESS);
        ASSERT_EQ(SetText(u"Suffix", u""), ERROR_SUCCESS);
        ASSERT_EQ(SetText(u"Prefix", u"ID:"), ERROR_SUCCESS) << "the same text again";
        EXPECT_EQ(ReadFile(Hive()), Encoded(expected, mark));
    }
    DWORD type = 0;
    EXPECT_EQ(Query(u"Software\\Other Vendor", u"List", &type),
              (std::vector<BYTE>{0x61, 0, 0, 0, 0x62, 0, 0, 0, 0, 0}));
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(Query(u"Software\\Zelna\\Swipetype", u"Calibration", &type),
              (std::vector<BYTE>{0xDE, 0xAD, 0xBE, 0xEF}));
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_TRUE(platform::Recorded().debugLines.empty());
}

TEST_F(HiveFileTest, DamagedHiveKeepsItsReadableLinesAndItsOriginal) {
    const std::string readable = "Windows Registry Editor Version 5.00\n"
                                 "[HKEY_LOCAL_MACHINE\\Software\\Zelna\\Swipetype]\n"
                                 "\"Enable\"=dword:1\n";
    const std::string damaged = readable + "\"Prefix\"=\"unterminated\n";
    WriteFile(Hive(), damaged);

    EXPECT_EQ(Query(u"Software\\Zelna\\Swipetype", u"Enable"), (std::vector<BYTE>{1, 0, 0, 0}));
    EXPECT_TRUE(Query(u"Software\\Zelna\\Swipetype", u"Prefix").empty());
    EXPECT_EQ(ReadFile(Hive()), readable);

    std::vector<std::string> files = FilesIn(root_.Path() + "/registry");
    auto aside = std::find_if(files.begin(), files.end(), [](const std::string& name) {
        return name.starts_with("HKEY_LOCAL_MACHINE.reg.corrupt-");
    });
    ASSERT_NE(aside, files.end());
    EXPECT_EQ(aside->size(), std::string("HKEY_LOCAL_MACHINE.reg.corrupt-20240101T000000Z").size());
    EXPECT_EQ(ReadFile(root_.Path() + "/registry/" + *aside), damaged);
    ASSERT_EQ(platform::Recorded().debugLines.size(), 1u);
    std::u16string line = platform::Recorded().debugLines[0];
    EXPECT_NE(line.find(u"line 4"), std::u16string::npos);
    EXPECT_NE(line.find(u".corrupt-"), std::u16string::npos);

    // A new hive starts; a second damage in the same second gets its own name.
    ASSERT_EQ(SetText(u"Prefix", u"new"), ERROR_SUCCESS);
    WriteFile(Hive(), "garbage");
    ASSERT_EQ(SetText(u"Prefix", u"newer"), ERROR_SUCCESS);
    files = FilesIn(root_.Path() + "/registry");
    EXPECT_EQ(std::count_if(files.begin(), files.end(),
                            [](const std::string& name) {
                                return name.find(".corrupt-") != std::string::npos;
                            }),
              2);
    EXPECT_EQ(ReadFile(Hive()).find("garbage"), std::string::npos);
}

TEST_F(HiveFileTest, UnreadableHiveIsNeitherSetAsideNorOverwritten) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads files whatever their mode";
    }
    WriteFile(Hive(), std::string(kHandWritten));
    ASSERT_EQ(::chmod(Hive().c_str(), 0), 0);
    EXPECT_EQ(SetText(u"Prefix", u"x"), ERROR_ACCESS_DENIED);
    ::chmod(Hive().c_str(), 0600);
    EXPECT_EQ(ReadFile(Hive()), kHandWritten);
}

// A fresh device root has no registry folder until the first change makes it:
// that is no read-only root.
TEST_F(HiveFileTest, AFreshRootIsReadSilentlyAndTakesChanges) {
    std::filesystem::remove_all(root_.Path() + "/registry");
    EXPECT_TRUE(Query(u"Software", u"Prefix").empty());
    EXPECT_EQ(SetText(u"Prefix", u"new"), ERROR_SUCCESS);
    EXPECT_TRUE(platform::Recorded().debugLines.empty());
}

TEST_F(HiveFileTest, HiveThatIsNoFileIsLeftAlone) {
    std::filesystem::create_directories(Hive());
    WriteFile(Hive() + "/inside", "x");
    EXPECT_EQ(SetText(u"Prefix", u"x"), ERROR_READ_FAULT);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software", 0, 0, &key), ERROR_READ_FAULT);
    EXPECT_EQ(ReadFile(Hive() + "/inside"), "x");
    EXPECT_EQ(FilesIn(root_.Path() + "/registry").size(), 1u) << "nothing set aside";
}

// A device root the user may only read (as root: one that belongs to nobody,
// read by a child process that became nobody).
TEST_F(HiveFileTest, ReadOnlyRootIsReadAndRefusesChangesSayingSoOnce) {
    WriteFile(Hive(), std::string(kHandWritten));
    for (const std::string& path : {root_.Path(), root_.Path() + "/registry", Hive()}) {
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chmod(path.c_str(), path == Hive() ? 0400 : 0500), 0);
    }
    int status = test_support::RunInChild(
        [&] {
            platform::StartRecording();
            bool read = Query(u"Software\\Zelna\\Swipetype", u"Prefix") ==
                        std::vector<BYTE>{'o', 0, 'l', 0, 'd', 0, 0, 0};
            bool refused = SetText(u"Prefix", u"new") == ERROR_ACCESS_DENIED &&
                           SetText(u"Suffix", u"new") == ERROR_ACCESS_DENIED;
            return (read ? 0 : 1) | (refused ? 0 : 2) |
                   (platform::Recorded().debugLines.size() == 1 ? 0 : 4);
        },
        true);
    EXPECT_EQ(status, 0)
        << "1: not read, 2: a change not refused, 4: not said exactly once, 125: no nobody";
}

// A read takes no lock: the hive is only ever replaced whole, so a writer that
// holds the lock does not hold up a reader.
TEST_F(HiveFileTest, AReadIsNotHeldUpByAWriterHoldingTheLock) {
    ASSERT_EQ(SetText(u"Prefix", u"kept"), ERROR_SUCCESS);
    int held = ::open((Hive() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Query(u"Software\\Zelna\\Swipetype", u"Prefix"),
              (std::vector<BYTE>{'k', 0, 'e', 0, 'p', 0, 't', 0, 0, 0}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    ::close(held);
}

// The write is cut off right before the rename, as a crash or a power loss
// would cut it: the child process ends there without any clean-up.
TEST_F(HiveFileTest, CrashBeforeRenameLeavesTheOldHiveWhole) {
    ASSERT_EQ(SetText(u"Prefix", u"before"), ERROR_SUCCESS);
    std::string before = ReadFile(Hive());

    int status = test_support::RunInChild([&] {
        platform::hive::SetBeforeHiveRename([] { ::_exit(42); });
        SetText(u"Prefix", u"after");
        return 0;
    });
    ASSERT_EQ(status, 42) << "the child did not reach the rename";

    EXPECT_EQ(ReadFile(Hive()), before);
    std::vector<std::string> files = FilesIn(root_.Path() + "/registry");
    EXPECT_EQ(std::count_if(
                  files.begin(), files.end(),
                  [](const std::string& name) { return name.find(".tmp-") != std::string::npos; }),
              1)
        << "the abandoned temporary file is still there";

    // The next write clears the leftover and works as usual.
    ASSERT_EQ(SetText(u"Prefix", u"later"), ERROR_SUCCESS);
    files = FilesIn(root_.Path() + "/registry");
    EXPECT_EQ(files, std::vector<std::string>{"HKEY_LOCAL_MACHINE.reg"}) << "no lock file is left";
    EXPECT_NE(ReadFile(Hive()).find("\"Prefix\"=\"later\""), std::string::npos);
}

// "A7" names value 7 of the first process, "B7" that of the second.
std::u16string ValueName(int process, int i) {
    std::string name = (process == 0 ? "A" : "B") + std::to_string(i);
    return std::u16string(name.begin(), name.end());
}

// Two processes write many values into one key at the same time; with the
// read-modify-write under the lock, none of them is lost.
TEST_F(HiveFileTest, TwoProcessesNeverLoseEachOthersWrites) {
    constexpr int kPerProcess = 40;
    std::vector<pid_t> children;
    for (int process = 0; process < 2; ++process) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int failures = 0;
            for (int i = 0; i < kPerProcess; ++i) {
                failures += SetText(ValueName(process, i).c_str(), u"v") != ERROR_SUCCESS;
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int process = 0; process < 2; ++process) {
        for (int i = 0; i < kPerProcess; ++i) {
            std::u16string name = ValueName(process, i);
            EXPECT_EQ(Query(u"Software\\Zelna\\Swipetype", name.c_str()),
                      (std::vector<BYTE>{'v', 0, 0, 0}))
                << "lost " << std::string(name.begin(), name.end());
        }
    }
}

} // namespace
