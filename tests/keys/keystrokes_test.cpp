#include <gtest/gtest.h>

#include "keys/keystrokes.h"
#include "support/key_events.h"

namespace {

using test_support::Event;
using test_support::RecordedEvents;

constexpr Event ShiftDown{0x10, 0x00010080, 0x00010080, 0};
constexpr Event ShiftUp{0x10, 0x00010001, 0x00010000, 0};
constexpr Event Down(UINT vk, UINT ch) {
    return {vk, 0x00000080, 0x00000080, ch};
}
constexpr Event Up(UINT vk) {
    return {vk, 0x00010001, 0x00010000, 0};
}

class KeystrokesTest : public testing::Test {
  protected:
    void SetUp() override {
        EscapeState = {};
        platform::StartRecording();
    }
    void TearDown() override {
        platform::StopRecording();
        EscapeState = {};
    }
    static void Type(const char16_t* text, BOOL escapes) {
        TypeText(text, escapes, FALSE, FALSE, 0);
    }
};

struct StrokeCase {
    const char* name;
    char16_t character;
    std::vector<Event> events;
};

class CharacterStrokeTest : public KeystrokesTest,
                            public testing::WithParamInterface<StrokeCase> {};

TEST_P(CharacterStrokeTest, PostsTheEventsOfItsTableRow) {
    TypeChar(GetParam().character, FALSE, FALSE);
    EXPECT_EQ(RecordedEvents(), GetParam().events);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CharacterStrokeTest,
    testing::Values(StrokeCase{"small_a", u'a', {Down(0x41, 0x61), Up(0x41)}},
                    StrokeCase{"capital_A", u'A', {ShiftDown, Down(0x41, 0x41), Up(0x41), ShiftUp}},
                    StrokeCase{"at_sign", u'@', {ShiftDown, Down(0x32, 0x40), Up(0x32), ShiftUp}},
                    StrokeCase{
                        "apostrophe", u'\'', {ShiftDown, Down(0xDE, 0x27), Up(0xDE), ShiftUp}},
                    StrokeCase{"backslash", u'\\', {Down(0x5C, 0x5C), Up(0x5C)}},
                    StrokeCase{"tilde", u'~', {ShiftDown, Down(0x60, 0x7E), Up(0x60), ShiftUp}},
                    StrokeCase{"line_feed", u'\n', {Down(0, 10), Up(0)}},
                    StrokeCase{"carriage_return", u'\r', {Down(0x0D, 13), Up(0x0D)}},
                    StrokeCase{"latin1_e_acute", u'\u00E9', {Down(0, 0xE9), Up(0)}},
                    StrokeCase{"above_ff_uses_low_eight_bits_row",
                               u'\u0141',
                               {ShiftDown, Down(0x41, 0x0141), Up(0x41), ShiftUp}}),
    [](const testing::TestParamInfo<StrokeCase>& info) { return info.param.name; });

TEST_F(KeystrokesTest, NullEmptyAndZeroCountPostNothing) {
    TypeText(nullptr, FALSE, FALSE, FALSE, 0);
    TypeText(u"", FALSE, FALSE, FALSE, 0);
    TypeText(u"abc", FALSE, FALSE, TRUE, 0);
    TypeText(nullptr, FALSE, FALSE, TRUE, 5);
    EXPECT_TRUE(RecordedEvents().empty());
}

TEST_F(KeystrokesTest, CountTypesEmbeddedZeroLikeAnyCharacter) {
    const char16_t text[] = {u'a', 0, u'b', u'c'};
    TypeText(text, FALSE, FALSE, TRUE, 3);
    EXPECT_EQ(RecordedEvents(), (std::vector<Event>{Down(0x41, u'a'), Up(0x41), Down(0, 0), Up(0),
                                                    Down(0x42, u'b'), Up(0x42)}));
}

TEST_F(KeystrokesTest, WithoutEscapesBackslashNIsTwoCharacters) {
    Type(u"\\n", FALSE);
    EXPECT_EQ(RecordedEvents(),
              (std::vector<Event>{Down(0x5C, 0x5C), Up(0x5C), Down(0x4E, u'n'), Up(0x4E)}));
}

struct EscapeCase {
    const char* name;
    const char16_t* text;
    std::vector<Event> events;
};

class EscapeSequenceTest : public KeystrokesTest, public testing::WithParamInterface<EscapeCase> {};

TEST_P(EscapeSequenceTest, PostsWhatTheSequenceMeans) {
    Type(GetParam().text, TRUE);
    EXPECT_EQ(RecordedEvents(), GetParam().events);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, EscapeSequenceTest,
    testing::Values(
        EscapeCase{"hex_41_is_A", u"\\x41", {ShiftDown, Down(0x41, 0x41), Up(0x41), ShiftUp}},
        EscapeCase{"hex_lower_digits", u"\\x6a", {Down(0x4A, 0x6A), Up(0x4A)}},
        EscapeCase{"virtual_key_0D",
                   u"\\v0D",
                   {{0x0D, 0x00010080, 0x00010080, 0}, {0x0D, 0x00010001, 0x00010000, 0}}},
        EscapeCase{"hex_abandoned_drops_non_digit", u"\\x4G", {}},
        EscapeCase{"unknown_letter_typed", u"\\q", {Down(0x51, u'q'), Up(0x51)}},
        EscapeCase{"double_backslash", u"\\\\", {Down(0x5C, 0x5C), Up(0x5C)}},
        EscapeCase{"b_is_backspace", u"\\b", {Down(0x08, 8), Up(0x08)}},
        EscapeCase{"f_is_form_feed", u"\\f", {Down(0, 12), Up(0)}},
        EscapeCase{"n_is_line_feed", u"\\n", {Down(0, 10), Up(0)}},
        EscapeCase{"r_is_carriage_return", u"\\r", {Down(0x0D, 13), Up(0x0D)}},
        EscapeCase{"t_is_tab", u"\\t", {Down(0x09, 9), Up(0x09)}},
        EscapeCase{
            "capital_N_not_a_letter", u"\\N", {ShiftDown, Down(0x4E, u'N'), Up(0x4E), ShiftUp}},
        EscapeCase{"after_abandon_text_resumes", u"\\xZa", {Down(0x41, u'a'), Up(0x41)}},
        EscapeCase{"virtual_key_mode_ends_after_its_stroke",
                   u"\\v41a",
                   {{0x41, 0x00010080, 0x00010080, 0},
                    {0x41, 0x00010001, 0x00010000, 0},
                    Down(0x41, u'a'),
                    Up(0x41)}}),
    [](const testing::TestParamInfo<EscapeCase>& info) { return info.param.name; });

TEST_F(KeystrokesTest, AbandonedHexEscapeClearsItsState) {
    Type(u"\\x4G", TRUE);
    EXPECT_EQ(EscapeState.hexDigit, 0);
    EXPECT_FALSE(EscapeState.virtualKeyMode);
    EXPECT_FALSE(EscapeState.escapePending);
}

TEST_F(KeystrokesTest, PendingBackslashCarriesIntoNextTextEvenWithoutEscapes) {
    Type(u"a\\", TRUE);
    EXPECT_TRUE(EscapeState.escapePending);
    Type(u"n", FALSE);
    EXPECT_EQ(RecordedEvents(),
              (std::vector<Event>{Down(0x41, u'a'), Up(0x41), Down(0, 10), Up(0)}));
}

TEST_F(KeystrokesTest, UnfinishedHexEscapeTakesDigitsFromNextText) {
    Type(u"\\x4", TRUE);
    EXPECT_TRUE(RecordedEvents().empty());
    Type(u"1", FALSE);
    EXPECT_EQ(RecordedEvents(),
              (std::vector<Event>{ShiftDown, Down(0x41, 0x41), Up(0x41), ShiftUp}));
}

TEST_F(KeystrokesTest, SuppressPostsNothingButMovesTheState) {
    TypeText(u"\\x4", TRUE, TRUE, FALSE, 0);
    EXPECT_TRUE(RecordedEvents().empty());
    EXPECT_EQ(EscapeState.hexDigit, 2);
    EXPECT_EQ(EscapeState.hexValue, 4);
    TypeText(u"1\\", TRUE, TRUE, FALSE, 0);
    EXPECT_TRUE(RecordedEvents().empty());
    EXPECT_EQ(EscapeState.hexDigit, 0);
    EXPECT_TRUE(EscapeState.escapePending);
}

TEST_F(KeystrokesTest, PostKeyStrokeOrdersShiftAroundTheKey) {
    PostKeyStroke(0x33, {0x80, 0x80, u'#'}, {0x00010001, 0x00010000, 0}, TRUE, FALSE);
    EXPECT_EQ(RecordedEvents(),
              (std::vector<Event>{ShiftDown, Down(0x33, u'#'), Up(0x33), ShiftUp}));
    for (const platform::RecordedKey& key : platform::Recorded().keys) {
        EXPECT_EQ(reinterpret_cast<LONG_PTR>(key.window), -1);
        EXPECT_EQ(key.count, 1u);
    }
}

} // namespace
