#include <gtest/gtest.h>

#include <string>

#include "platform/core/system.h"

namespace {

TEST(FormatTest, FormatsTheConversionsTheProgramUses) {
    WCHAR buffer[1024];
    EXPECT_EQ(wsprintfW(buffer, u"COM%d:", 1), 5);
    EXPECT_EQ(std::u16string(buffer), u"COM1:");

    wsprintfW(buffer, u"Error %d opening MSR serial port", -7);
    EXPECT_EQ(std::u16string(buffer), u"Error -7 opening MSR serial port");
    wsprintfW(buffer, u"%2X|%2X|%02x|%-4d|%5s|%S|%c|%%|%u", 0x0A, 0xC2, 7, 12, u"ab", "nar", u'Z',
              4000000000u);
    EXPECT_EQ(std::u16string(buffer), u" A|C2|07|12  |   ab|nar|Z|%|4000000000");
    wsprintfW(buffer, u"%d %ld %hd", -2147483647 - 1, 123456789L, 70000);
    EXPECT_EQ(std::u16string(buffer), u"-2147483648 123456789 4464");
    wsprintfW(buffer, u"%05d|%.2s", -42, u"xyz");
    EXPECT_EQ(std::u16string(buffer), u"-0042|xy");
}

TEST(FormatTest, OutputNeverPassesTheDeviceLimit) {
    WCHAR buffer[1024 + 8];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    std::u16string longText(3000, u'x');
    int written = wsprintfW(buffer, u"%s%s", longText.c_str(), longText.c_str());
    EXPECT_EQ(written, 1023);
    EXPECT_EQ(buffer[1023], u'\0');
    EXPECT_EQ(buffer[1024], u'#');
    written = wsprintfW(buffer, u"COM%d:", 2147483647);
    EXPECT_EQ(std::u16string(buffer), u"COM2147483647:");
}

TEST(CharacterClassTest, HexAndDigitOverSixteenBitCharacters) {
    for (char16_t c : std::u16string(u"0123456789abcdefABCDEF")) {
        EXPECT_TRUE(iswctype(c, _HEX)) << static_cast<int>(c);
    }
    for (char16_t c : std::u16string(u"gGz/:@`\u0660\uFF10")) {
        EXPECT_FALSE(iswctype(c, _HEX)) << static_cast<int>(c);
    }
    EXPECT_TRUE(iswctype(u'7', _DIGIT));
    EXPECT_FALSE(iswctype(u'a', _DIGIT));
}

} // namespace
