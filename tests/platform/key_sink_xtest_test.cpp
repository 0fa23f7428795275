// The X11 sink typing into a real X client under Xvfb: the key events come from
// the program's own keystroke synthesis, and the window decodes the presses as
// any Xlib application does.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "keys/keystrokes.h"
#include "platform/core/recorder.h"
#include "platform/core/unicode.h"
#include "platform/keyboard/key_delay.h"
#include "platform/keyboard/key_sink.h"
#include "platform/keyboard/x11/key_sink_xtest.h"
#include "support/param_name.h"
#include "support/x_test_display.h"

namespace {

using namespace std::chrono_literals;
using x_test::Utf8;

constexpr unsigned int LockMask = 0x02;
constexpr unsigned int NumLockMask = 0x10; // Mod2 in the standard keymaps
constexpr unsigned long CapsLockKeysym = 0xFFE5;
constexpr unsigned long EuroKeysym = 0x20AC;

std::u32string Wide(const std::u16string& text) {
    std::u32string wide;
    platform::ForEachCodePoint(text, [&](char32_t c) { wide += c; });
    return wide;
}

class XTestSinkTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string reason;
        server_ = x_test::SharedXvfb(reason);
        if (server_ == nullptr) {
            GTEST_SKIP() << reason;
        }
        EscapeState = {};
        ASSERT_TRUE(x_test::SetServerLayout(server_->Name(), "us"));
        ASSERT_TRUE(window_.Open(server_->Name(), reason)) << reason;
        window_.SetLockedModifiers(LockMask | NumLockMask, false);
        UseNewSink();
    }

    void TearDown() override {
        platform::SetKeySink(nullptr);
        platform::SetKeyDelay(0ms);
        EscapeState = {};
    }

    void UseNewSink() {
        std::string error;
        platform::SetKeySink(nullptr);
        auto sink = platform::MakeXTestKeySink(server_->Name(), error);
        ASSERT_NE(sink, nullptr) << error;
        platform::SetKeySink(std::move(sink));
    }

    // Types the text as output composition does, one character at a time, and
    // returns what the window received.
    std::u32string TypeAndRead(const std::u16string& text, std::size_t expected) {
        for (char16_t c : text) {
            TypeChar(c, FALSE, FALSE);
            window_.Poll();
        }
        return window_.Take(expected, 5s);
    }

    std::u32string TypeAndRead(const std::u16string& text) {
        return TypeAndRead(text, Wide(text).size());
    }

    void ExpectArrives(const std::u16string& text) {
        std::u32string expected = Wide(text);
        std::u32string received = TypeAndRead(text, expected.size());
        EXPECT_EQ(Utf8(received), Utf8(expected));
        EXPECT_EQ(window_.UndecodedPresses(), 0);
    }

    const x_test::XvfbServer* server_ = nullptr;
    x_test::TextWindow window_;
};

class XTestSinkLayoutTest : public XTestSinkTest, public testing::WithParamInterface<const char*> {
  protected:
    void SetUp() override {
        XTestSinkTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(x_test::SetServerLayout(server_->Name(), GetParam()));
    }
};

// Every printable ASCII character, Tab and Enter; then each character that is a
// dead key on some layout followed by one it could combine with; then example
// texts: a prefix with a backslash and an n, the apostrophe, the at sign, the tilde.
TEST_P(XTestSinkLayoutTest, PrintableAsciiDeadKeysAndExampleTextsArriveExactly) {
    std::u16string ascii;
    for (char16_t c = 0x20; c < 0x7F; ++c) {
        ascii += c;
    }
    ExpectArrives(ascii + u"\t\r");
    ExpectArrives(u"^e`a~n'o\"u ID\\n: O'Brien reader@example.org ~12~");
}

TEST_P(XTestSinkLayoutTest, CharactersOutsideTheLayoutArrive) {
    ExpectArrives(u"\u20AC\u0142\u00FF\u2192\u03A9\U0001F600x");
}

// Caps Lock as the user pressed it: the case is right, and it stays on.
TEST_P(XTestSinkLayoutTest, CaseIsRightWithCapsLockOnAndItStaysOn) {
    ASSERT_TRUE(window_.TapKey(CapsLockKeysym));
    ASSERT_EQ(window_.LockedModifiers() & LockMask, LockMask);
    ExpectArrives(u"Hello World abcXYZ \u00E4\u00C4 \u0142\u0141 12!@");
    EXPECT_EQ(window_.LockedModifiers() & LockMask, LockMask) << "Caps Lock stays on";
    ASSERT_TRUE(window_.TapKey(CapsLockKeysym));
}

INSTANTIATE_TEST_SUITE_P(Layouts, XTestSinkLayoutTest, testing::Values("us", "de"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return testsupport::ParamName(info.param);
                         });

TEST_F(XTestSinkTest, BareKeysPressTheKeyTheirVirtualKeyNamesKeypadWhateverNumLock) {
    // \v61 and \v6B are the bare keys VK_NUMPAD1 and VK_ADD.
    for (bool numLock : {false, true}) {
        window_.SetLockedModifiers(NumLockMask, numLock);
        TypeText(u"\\v61\\v6B", TRUE, FALSE, FALSE, 0);
        EXPECT_EQ(Utf8(window_.Take(2, 5s)), "1+") << "Num Lock " << numLock;
    }
    // Enter, Tab, Backspace, Escape, the letter A key, the digit 5 key.
    TypeText(u"\\v0D\\v09\\v08\\v1B\\v41\\v35", TRUE, FALSE, FALSE, 0);
    EXPECT_EQ(window_.Take(6, 5s), U"\r\t\b\x1B"
                                   U"a5");
}

TEST_F(XTestSinkTest, ShiftEventsOfTheStreamAddNoModifier) {
    // The stream frames "1" with Shift when it comes from a table row that asks
    // for it (\x21 is "!": Shift with virtual key 0x31); only the character counts.
    TypeText(u"\\x21", TRUE, FALSE, FALSE, 0);
    platform::KeySink* sink = platform::ActiveKeySink();
    UINT shift = 0x10;
    EXPECT_TRUE(sink->Post({shift, 0x00010080, 0x00010080, 0}));
    EXPECT_TRUE(sink->Post({0x31, 0x00000080, 0x00000080, u'1'}));
    EXPECT_TRUE(sink->Post({0x31, 0x00010001, 0x00010000, 0}));
    EXPECT_TRUE(sink->Post({shift, 0x00010001, 0x00010000, 0}));
    EXPECT_EQ(Utf8(window_.Take(2, 5s)), "!1");
}

// With two layouts, a character only the other one has is typed in its group,
// and the user's group is back for the next character.
TEST_F(XTestSinkTest, CharacterOfTheLayoutNotInUseIsTypedInItsGroup) {
    ASSERT_TRUE(x_test::SetServerLayout(server_->Name(), "us,de"));
    ExpectArrives(u"\u00DF\u00E4yz");
}

TEST_F(XTestSinkTest, SpareKeycodeBindingStaysUntilExitAndIsThenRestored) {
    int emptyBefore = window_.EmptyKeycodes();
    ASSERT_GT(emptyBefore, 0);
    ASSERT_EQ(window_.KeycodesHolding(EuroKeysym), 0);
    ExpectArrives(u"\u20AC");
    // The binding waits until the keycode is needed again, so the application
    // can still decode the press.
    EXPECT_EQ(window_.KeycodesHolding(EuroKeysym), 1);
    ExpectArrives(u"\u20AC\u20AC");
    EXPECT_EQ(window_.KeycodesHolding(EuroKeysym), 1) << "the binding is reused";
    platform::SetKeySink(nullptr);
    EXPECT_EQ(window_.KeycodesHolding(EuroKeysym), 0);
    EXPECT_EQ(window_.EmptyKeycodes(), emptyBefore);
}

TEST_F(XTestSinkTest, MoreMissingCharactersThanSpareKeycodesAllArrive) {
    std::u16string text;
    int spare = window_.EmptyKeycodes();
    for (int i = 0; i < spare + 6; ++i) {
        text += static_cast<char16_t>(0x0410 + i); // Cyrillic capitals, absent on "us"
    }
    ExpectArrives(text);
}

TEST_F(XTestSinkTest, KeyDelayPausesBetweenKeyEvents) {
    platform::SetKeyDelay(20ms);
    auto start = std::chrono::steady_clock::now();
    ExpectArrives(u"abc"); // three presses and three releases: five pauses
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
}

TEST_F(XTestSinkTest, CharacterWithoutAKeyIsRefusedWithOneDebugLine) {
    platform::StartRecording();
    UINT control = 0x0C; // form feed: only a Control chord would type it
    EXPECT_FALSE(platform::ActiveKeySink()->Post({0, 0x80, 0x80, control}));
    EXPECT_EQ(platform::Recorded().debugLines.size(), 1U);
    platform::StopRecording();
}

} // namespace
