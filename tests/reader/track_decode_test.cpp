#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "platform/core/recorder.h"
#include "reader/track_decode.h"
#include "settings/settings.h"
#include "support/track_reference.h"

namespace {

constexpr const char* kNone = nullptr; // the track is not found (and empty)

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

struct WorkedExample {
    const char* line;
    const char* track1;
    const char* track2;
    const char* track3;
    bool track1Found;
    bool track2Found;
};

class WorkedExampleTest : public TrackDecodeTest,
                          public testing::WithParamInterface<WorkedExample> {};

// The verdict follows from the flags and from whether tracks 1 and 2 are good.
TEST_P(WorkedExampleTest, SplitsTracksAndJudgesEverySetting) {
    const WorkedExample& example = GetParam();
    for (TrackFlags flags : kAllFlagSettings) {
        int verdict = Decode(example.line, flags);
        EXPECT_STREQ(TrackBuffers[0], example.track1 ? example.track1 : "");
        EXPECT_STREQ(TrackBuffers[1], example.track2 ? example.track2 : "");
        EXPECT_STREQ(TrackBuffers[2], example.track3 ? example.track3 : "");
        bool good1 = example.track1Found && std::strcmp(TrackBuffers[0], "E") != 0;
        bool good2 = example.track2Found && std::strcmp(TrackBuffers[1], "E") != 0;
        int expected = (flags.track1 && !good1) || (flags.track2 && !good2) ? 0 : 1;
        EXPECT_EQ(verdict, expected) << "flags " << flags.track1 << flags.track2;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, WorkedExampleTest,
    testing::Values(WorkedExample{"%B0001^TEST/CARD^9912?;0001=9912?", "B0001^TEST/CARD^9912",
                                  "0001=9912", kNone, true, true},
                    WorkedExample{";0001=9912?", kNone, "0001=9912", kNone, false, true},
                    WorkedExample{"%E?;E?+E?", "E", "E", "E", true, true},
                    WorkedExample{"%ABC", "ABC", kNone, kNone, true, false},
                    WorkedExample{"%ABC;123?", "ABC;123", "123", kNone, true, true},
                    WorkedExample{"%?;123?", "", "123", kNone, true, true},
                    WorkedExample{";12?%AB?", "AB", "12", kNone, true, true},
                    WorkedExample{"%A?;??12?", "A", "12", kNone, true, true},
                    WorkedExample{"+55?%A?;1?", "A", "1", "55", true, true},
                    WorkedExample{"%A?;1?+", "A", "1", kNone, true, true},
                    WorkedExample{"XYZ", kNone, kNone, kNone, false, false}));

TEST_F(TrackDecodeTest, EmptyLineIsBadWithoutBeepAndKeepsTracks) {
    Decode("%OLD?;111?+333?", {1, 1});
    EXPECT_EQ(Decode("", {1, 1}, 1), 0);
    EXPECT_TRUE(platform::Recorded().beeps.empty());
    EXPECT_STREQ(TrackBuffers[0], "OLD");
    EXPECT_STREQ(TrackBuffers[1], "111");
    EXPECT_STREQ(TrackBuffers[2], "333");
}

TEST_F(TrackDecodeTest, BadReadBeepsType4OnlyWithBeepSet) {
    EXPECT_EQ(Decode(";1?", {1, 1}, 0), 0);
    EXPECT_TRUE(platform::Recorded().beeps.empty());
    EXPECT_EQ(Decode(";1?", {1, 1}, 1), 0);
    EXPECT_EQ(platform::Recorded().beeps, std::vector<UINT>{4});
    EXPECT_EQ(Decode("%A?;1?", {1, 1}, 1), 1);
    EXPECT_EQ(platform::Recorded().beeps.size(), 1u) << "a good read plays nothing here";
}

TEST_F(TrackDecodeTest, LongestLineDecodesWithinBuffers) {
    std::string line = "%" + std::string(1022, 'A');
    EXPECT_EQ(Decode(line, {1, 0}), 1);
    EXPECT_EQ(std::strlen(TrackBuffers[0]), 1022u);
    line = "X;" + std::string(1020, '?') + "9";
    EXPECT_EQ(Decode(line, {0, 1}), 1);
    EXPECT_STREQ(TrackBuffers[1], "9");
}

TEST_F(TrackDecodeTest, ClearMSRBuffersZeroesEveryByte) {
    Decode("%A?;1?+3?", {0, 0});
    ClearMSRBuffers();
    for (int i = 0; i < kLineBufferSize; ++i) {
        ASSERT_EQ(RawLine[i], 0);
        ASSERT_EQ(TrackBuffers[0][i] | TrackBuffers[1][i] | TrackBuffers[2][i], 0);
    }
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

} // namespace
