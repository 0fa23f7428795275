#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/core/event_log.h"
#include "platform/core/system.h"
#include "platform/keyboard/keyboard.h"
#include "support/temp_dir.h"

namespace {

class EventLogTest : public testing::Test {
  protected:
    void SetUp() override {
        path_ = directory_.Path() + "/events.jsonl";
        std::string error;
        ASSERT_TRUE(platform::OpenEventLog(path_, error)) << error;
    }
    void TearDown() override { platform::CloseEventLog(); }
    std::vector<std::string> Lines() const {
        std::ifstream file(path_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    // The line without its "t" and "time" members, which change from run to run.
    static std::string WithoutTime(const std::string& line) {
        auto event = line.find("\"event\"");
        return event == std::string::npos ? line : "{" + line.substr(event);
    }

    test_support::TempDir directory_{"swipetype-log"};
    std::string path_;
};

TEST_F(EventLogTest, KeyBeepAndDebugLinesInOrderInAFileForItsOwnerOnly) {
    struct stat status {};
    ASSERT_EQ(stat(path_.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    UINT shift = 0x80;
    UINT character = 0x61;
    PostKeybdMessage(reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1)), 0x41, 0x80, 1, &shift,
                     &character);
    MessageBeep(0x40);
    NKDbgPrintfW(u"Error %d opening MSR serial port", -7);
    NKDbgPrintfW(u"quote \" backslash \\ tab \t caf\u00E9");
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(WithoutTime(lines[0]),
              R"({"event":"key","hwnd":-1,"vk":65,"flags":128,"count":1,"shift":128,"char":97})");
    EXPECT_EQ(WithoutTime(lines[1]), R"({"event":"beep","type":64})");
    EXPECT_EQ(WithoutTime(lines[2]),
              R"({"event":"debug","text":"Error -7 opening MSR serial port"})");
    EXPECT_EQ(WithoutTime(lines[3]),
              "{\"event\":\"debug\",\"text\":\"quote \\\" backslash \\\\ tab \\t caf\xC3\xA9\"}");
}

// A limit on the size of files written stands for a full disk: a write beyond it
// stores what fits, or nothing (EFBIG).
TEST_F(EventLogTest, AFailingWriteIsSaidOnceAndTheLogResumesWithWholeLines) {
    platform::WriteEvent("debug", "\"text\":\"" + std::string(4000, 'x') + "\"");
    struct stat status {};
    ASSERT_EQ(stat(path_.c_str(), &status), 0);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit full{static_cast<rlim_t>(status.st_size) + 10, saved.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);
    testing::internal::CaptureStderr();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
    platform::WriteEvent("beep", "\"type\":2"); // cut after 10 bytes
    platform::WriteEvent("beep", "\"type\":3"); // nothing written
    setrlimit(RLIMIT_FSIZE, &saved);
    platform::WriteEvent("beep", "\"type\":4");
    std::string said = testing::internal::GetCapturedStderr();
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(said, "swipetype: cannot write the event log " + path_ +
                        ": File too large; events are dropped until it can be written\n"
                        "swipetype: the event log " +
                        path_ + " is written again; 2 events were lost\n");
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 2u) << "the cut line is taken back off the file";
    EXPECT_EQ(WithoutTime(lines[1]), "{\"event\":\"beep\",\"type\":4}");
}

} // namespace
