#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "keys/keystrokes.h"
#include "keys/scan_output.h"
#include "platform/keyboard/key_sink.h"
#include "platform/keyboard/keyboard.h"
#include "platform/windowing/window.h"
#include "reader/tag_text.h"
#include "reader/track_decode.h"
#include "res/resource_ids.h"
#include "settings/settings.h"
#include "support/key_events.h"
#include "support/window_class.h"

namespace {

using test_support::TypedText;

// A stand-in for the options dialog: a window holding the three edit boxes that
// output composition reads.
LRESULT DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

class ScanOutputTest : public testing::Test {
  protected:
    void SetUp() override {
        saved_ = Settings;
        Settings = DefaultSettings();
        EscapeState = {};
        ASSERT_TRUE(test_support::RegisterTestClass(u"ScanOutputTestDialog", DialogProcedure));
        dialog_ = CreateWindowExW(0, u"ScanOutputTestDialog", u"", 0, 0, 0, 100, 100, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(dialog_, nullptr);
        for (int id : {IDC_PREFIX, IDC_SUFFIX, IDC_TRACK_SEPARATOR}) {
            ASSERT_NE(CreateWindowExW(0, u"EDIT", u"", WS_CHILD, 0, 0, 10, 10, dialog_,
                                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr,
                                      nullptr),
                      nullptr);
        }
        ClearMSRBuffers();
        std::memset(TagText, 0, sizeof TagText);
        platform::StartRecording();
    }
    void TearDown() override {
        platform::StopRecording();
        DestroyWindow(dialog_);
        Settings = saved_;
    }

    void SetTexts(const char16_t* prefix, const char16_t* suffix, const char16_t* separator) {
        SetWindowTextW(GetDlgItem(dialog_, IDC_PREFIX), prefix);
        SetWindowTextW(GetDlgItem(dialog_, IDC_SUFFIX), suffix);
        SetWindowTextW(GetDlgItem(dialog_, IDC_TRACK_SEPARATOR), separator);
    }
    static void SetTracks(const char* one, const char* two, const char* three) {
        std::strcpy(TrackBuffers[0], one);
        std::strcpy(TrackBuffers[1], two);
        std::strcpy(TrackBuffers[2], three);
    }
    static void SetFlags(DWORD one, DWORD two, DWORD three) {
        Settings.UseTrack1 = one;
        Settings.UseTrack2 = two;
        Settings.UseTrack3 = three;
    }

    HWND dialog_ = nullptr;

  private:
    SettingsRecord saved_{};
};

// The tracks the flags select, with a separator between two selected tracks
// even when one of them is empty; without Beep, no beep. User texts are typed
// literally, backslashes and all; Windows-1252 track bytes become their characters.
struct Combination {
    DWORD track1, track2, track3;
    const char* one;
    const char* two;
    const char* three;
    const char16_t* typed;
};

TEST_F(ScanOutputTest, TypesTracksWithSeparatorsPlacedByFlags) {
    const Combination cases[] = {
        {0, 0, 0, "T1", "T2", "T3", u""},      {1, 0, 0, "T1", "T2", "T3", u"T1"},
        {0, 1, 0, "T1", "T2", "T3", u"T2"},    {0, 0, 1, "T1", "T2", "T3", u"T3"},
        {1, 1, 0, "T1", "T2", "T3", u"T1|T2"}, {1, 0, 1, "T1", "T2", "T3", u"T1|T3"},
        {0, 1, 1, "T1", "T2", "T3", u"T2|T3"}, {1, 1, 1, "T1", "T2", "T3", u"T1|T2|T3"},
        {1, 1, 1, "A", "B", "", u"A|B|"},      {1, 0, 1, "A", "B", "", u"A|"},
        {1, 1, 1, "A", "", "C", u"A||C"},      {1, 0, 0, "\xE9\x80", "", "", u"\u00E9\u20AC"},
    };
    SetTexts(u"\\n<", u">\\x41", u"|");
    for (const Combination& c : cases) {
        platform::StartRecording();
        SetTracks(c.one, c.two, c.three);
        SetFlags(c.track1, c.track2, c.track3);
        EXPECT_EQ(SendScanOutput(dialog_, 1), 0);
        EXPECT_EQ(TypedText(), u"\\n<" + std::u16string(c.typed) + u">\\x41")
            << c.track1 << c.track2 << c.track3 << " " << c.one << "," << c.two << "," << c.three;
        EXPECT_TRUE(platform::Recorded().beeps.empty());
    }
}

TEST_F(ScanOutputTest, NoTrackSelectedTypesPrefixSuffixTabEnter) {
    SetTexts(u"P", u"S", u",");
    SetTracks("A", "B", "C");
    SetFlags(0, 0, 0);
    Settings.SendTab = 1;
    Settings.SendEnter = 1;
    SendScanOutput(dialog_, 1);
    EXPECT_EQ(TypedText(), u"PS\t\r");
    const platform::RecordedKey& enter =
        platform::Recorded().keys[platform::Recorded().keys.size() - 2];
    EXPECT_EQ(enter.virtualKey, 0x0Du);
    EXPECT_EQ(enter.character, 13u) << "ENTER is a carriage return, not a line feed";
}

TEST_F(ScanOutputTest, BeepSoundsOnceBeforeAnyKey) {
    SetTexts(u"", u"", u"");
    Settings.Beep = 1;
    SetTracks("A", "B", "");
    SendScanOutput(dialog_, 1);
    const platform::Recording& recording = platform::Recorded();
    EXPECT_EQ(recording.beeps, std::vector<UINT>{0x40});
    ASSERT_FALSE(recording.order.empty());
    EXPECT_EQ(recording.order.front(), "beep");
    EXPECT_EQ(TypedText(), u"AB");
}

TEST_F(ScanOutputTest, RfidModeTypesTagTextAndIgnoresTrackSettings) {
    SetTexts(u"ID:", u";", u"|");
    SetTracks("T1", "T2", "T3");
    std::strcpy(TagText, " A1BC2 3");
    SendScanOutput(dialog_, 0);
    EXPECT_EQ(TypedText(), u"ID: A1BC2 3;");
}

TEST_F(ScanOutputTest, DialogTextsAreTakenAtEveryReadWithoutSaving) {
    SetTexts(u"old", u"", u"");
    SetFlags(1, 0, 0);
    SetTracks("X", "", "");
    SendScanOutput(dialog_, 1);
    SetWindowTextW(GetDlgItem(dialog_, IDC_PREFIX), u"new");
    SendScanOutput(dialog_, 1);
    EXPECT_EQ(TypedText(), u"oldXnewX");
    EXPECT_EQ(std::u16string(Settings.Prefix), u"new");
}

// A key-code sink whose layout holds only ASCII.
class AsciiLayoutSink final : public platform::KeySink {
  public:
    bool Post(const platform::KeyEvent&) override { return true; }
    std::string Name() const override { return "ascii"; }
    bool CanType(char32_t character, std::string& why) override {
        why = "a non-ASCII character: the layout has no key for it";
        return character < 0x80;
    }
};

// A read is typed whole or not at all: any part holding a character the sink
// cannot type (a user text, a track's Windows-1252 byte, a tag) drops it all,
// and it is counted.
TEST_F(ScanOutputTest, ReadHoldingAnUntypableCharacterIsDroppedWholeAndCounted) {
    struct Case {
        const char16_t* prefix;
        const char* track;
        int msr;
        bool typed;
    } const cases[] = {
        {u"<", "T1", 1, true},
        {u"\u00E4", "T1", 1, false}, // in the prefix
        {u"<", "T\xE4", 1, false},   // a Windows-1252 byte of a track
        {u"<", "T\x80", 0, false},   // the euro sign in a tag
    };
    platform::SetKeySink(std::make_unique<AsciiLayoutSink>());
    Settings.UseTrack1 = 1;
    for (const Case& c : cases) {
        platform::Recorded().keys.clear();
        SetTexts(c.prefix, u">", u"");
        SetTracks(c.track, "", "");
        std::strcpy(TagText, c.track);
        unsigned long long dropped = platform::DroppedReadCount();
        SendScanOutput(dialog_, c.msr);
        EXPECT_EQ(platform::Recorded().keys.empty(), !c.typed);
        EXPECT_EQ(platform::DroppedReadCount() - dropped, c.typed ? 0U : 1U);
    }
    platform::SetKeySink(nullptr);
}

} // namespace
