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
// A bare key: virtual key events that carry no character.
constexpr Event BareDown(UINT vk) {
    return {vk, 0x00010080, 0x00010080, 0};
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
    const char16_t* text;
    BOOL escapes;
    std::vector<Event> events;
};

// Each text typed from a program's start: the characters by their table rows,
// then the escape sequences.
TEST_F(KeystrokesTest, EachTextPostsTheEventsItMeans) {
    const StrokeCase cases[] = {
        {"small a", u"a", FALSE, {Down(0x41, 0x61), Up(0x41)}},
        {"capital A", u"A", FALSE, {ShiftDown, Down(0x41, 0x41), Up(0x41), ShiftUp}},
        {"at sign", u"@", FALSE, {ShiftDown, Down(0x32, 0x40), Up(0x32), ShiftUp}},
        {"apostrophe", u"'", FALSE, {ShiftDown, Down(0xDE, 0x27), Up(0xDE), ShiftUp}},
        {"backslash", u"\\", FALSE, {Down(0x5C, 0x5C), Up(0x5C)}},
        {"tilde", u"~", FALSE, {ShiftDown, Down(0x60, 0x7E), Up(0x60), ShiftUp}},
        {"line feed", u"\n", FALSE, {Down(0, 10), Up(0)}},
        {"carriage return", u"\r", FALSE, {Down(0x0D, 13), Up(0x0D)}},
        {"latin-1 e acute", u"\u00E9", FALSE, {Down(0, 0xE9), Up(0)}},
        {"above 0xFF: the row of the low eight bits",
         u"\u0141",
         FALSE,
         {ShiftDown, Down(0x41, 0x0141), Up(0x41), ShiftUp}},
        {"without escapes \\n is two characters",
         u"\\n",
         FALSE,
         {Down(0x5C, 0x5C), Up(0x5C), Down(0x4E, u'n'), Up(0x4E)}},
        {"hex 41 is A", u"\\x41", TRUE, {ShiftDown, Down(0x41, 0x41), Up(0x41), ShiftUp}},
        {"hex lower digits", u"\\x6a", TRUE, {Down(0x4A, 0x6A), Up(0x4A)}},
        {"virtual key 0D", u"\\v0D", TRUE, {BareDown(0x0D), Up(0x0D)}},
        {"abandoned hex drops the non-digit", u"\\x4G", TRUE, {}},
        {"unknown letter typed", u"\\q", TRUE, {Down(0x51, u'q'), Up(0x51)}},
        {"double backslash", u"\\\\", TRUE, {Down(0x5C, 0x5C), Up(0x5C)}},
        {"b is backspace", u"\\b", TRUE, {Down(0x08, 8), Up(0x08)}},
        {"f is form feed", u"\\f", TRUE, {Down(0, 12), Up(0)}},
        {"n is line feed", u"\\n", TRUE, {Down(0, 10), Up(0)}},
        {"r is carriage return", u"\\r", TRUE, {Down(0x0D, 13), Up(0x0D)}},
        {"t is tab", u"\\t", TRUE, {Down(0x09, 9), Up(0x09)}},
        {"capital N not a letter", u"\\N", TRUE, {ShiftDown, Down(0x4E, u'N'), Up(0x4E), ShiftUp}},
        {"after an abandon the text resumes", u"\\xZa", TRUE, {Down(0x41, u'a'), Up(0x41)}},
        {"virtual key mode ends after its stroke",
         u"\\v41a",
         TRUE,
         {BareDown(0x41), Up(0x41), Down(0x41, u'a'), Up(0x41)}},
    };
    for (const StrokeCase& c : cases) {
        EscapeState = {};
        platform::StartRecording();
        Type(c.text, c.escapes);
        EXPECT_EQ(RecordedEvents(), c.events) << c.name;
    }
}

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
