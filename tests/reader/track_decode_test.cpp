#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "platform/core/codepage.h"
#include "platform/core/recorder.h"
#include "platform/core/system.h"
#include "reader/track_decode.h"
#include "settings/settings.h"
#include "support/track_reference.h"

namespace {

struct TrackFlags {
    DWORD track1;
    DWORD track2;
};
constexpr TrackFlags kAllFlagSettings[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};

class TrackDecodeTest : public testing::Test {
  protected:
    void SetUp() override {
        saved_ = Settings;
        ClearMSRBuffers();
        platform::StartRecording();
    }
    void TearDown() override {
        platform::StopRecording();
        Settings = saved_;
    }
    static int Decode(const std::string& line, TrackFlags flags, DWORD beep = 0) {
        Settings.UseTrack1 = flags.track1;
        Settings.UseTrack2 = flags.track2;
        Settings.Beep = beep;
        std::memset(RawLine, 0, sizeof RawLine);
        line.copy(RawLine, sizeof RawLine - 1);
        return DecodeTracks();
    }

  private:
    SettingsRecord saved_{};
};

// A bad read beeps with sound type 4 when Beep is set; a good one plays nothing
// here. An empty line is bad without a beep and leaves the tracks as they were.
TEST_F(TrackDecodeTest, BadReadsBeepType4OnlyWithBeepSet) {
    EXPECT_EQ(Decode(";1?", {1, 1}, 0), 0);
    EXPECT_TRUE(platform::Recorded().beeps.empty());
    EXPECT_EQ(Decode(";1?", {1, 1}, 1), 0);
    EXPECT_EQ(Decode("%OLD?;111?+333?", {1, 1}, 1), 1);
    EXPECT_EQ(Decode("", {1, 1}, 1), 0);
    EXPECT_EQ(platform::Recorded().beeps, std::vector<UINT>{4});
    EXPECT_STREQ(TrackBuffers[0], "OLD");
    EXPECT_STREQ(TrackBuffers[1], "111");
    EXPECT_STREQ(TrackBuffers[2], "333");
}

// The longest line a buffer holds decodes whole.
TEST_F(TrackDecodeTest, LongestLineDecodesWithinBuffers) {
    EXPECT_EQ(Decode("%" + std::string(1022, 'A'), {1, 0}), 1);
    EXPECT_EQ(std::strlen(TrackBuffers[0]), 1022u);
    EXPECT_EQ(Decode("X;" + std::string(1020, '?') + "9", {0, 1}), 1);
    EXPECT_STREQ(TrackBuffers[1], "9");
}

// The decoder must give exactly what tokenising a copy with strtok gives.
TEST_F(TrackDecodeTest, AgreesWithStrtokOnRandomLines) {
    std::mt19937 random(20261206);
    const char alphabet[] = {'%', ';', '+', '?', 'E', 'A', '1', '^', '=', ' '};
    for (int round = 0; round < 20000; ++round) {
        std::size_t length = round % 50 == 0 ? random() % 1024 : random() % 24;
        std::string line;
        for (std::size_t i = 0; i < length; ++i) {
            line += alphabet[random() % sizeof alphabet];
        }
        TrackFlags flags = kAllFlagSettings[random() % 4];
        int verdict = Decode(line, flags);
        if (line.empty()) {
            ASSERT_EQ(verdict, 0);
            continue;
        }
        test_support::ReferenceTracks tracks = test_support::ReferenceDecode(line);
        for (int t = 0; t < 3; ++t) {
            ASSERT_EQ(std::string(TrackBuffers[t]), tracks.track[t].text) << "line " << line;
        }
        ASSERT_EQ(verdict, test_support::ReferenceVerdict(line, tracks, flags.track1 != 0,
                                                          flags.track2 != 0))
            << "line " << line;
    }
}

// A byte that is no text in the code page makes the read bad, whatever the code
// page: it is never typed as a stand-in character.
TEST_F(TrackDecodeTest, AByteThatIsNoTextIsABadRead) {
    struct Case {
        UINT codePage;
        const char* line;
        int verdict;
    };
    const Case cases[] = {
        {CP_UTF8, ";12\xC3\xA9?", 1}, {CP_UTF8, ";12\xFF?", 0},  {CP_UTF8, ";12\xC3?", 0},
        {CP_UTF8, ";12\xC2\x81?", 0}, {1252, ";12\xE9\x80?", 1}, {1252, ";12\x81?", 0},
    };
    UINT saved = platform::AnsiCodePage();
    for (const Case& c : cases) {
        ASSERT_TRUE(platform::SetAnsiCodePage(c.codePage));
        EXPECT_EQ(Decode(c.line, {0, 1}), c.verdict) << c.codePage << " " << c.line;
    }
    platform::SetAnsiCodePage(saved);
}

} // namespace
