#include <gtest/gtest.h>

#include "platform/core/unicode.h"

namespace {

TEST(UnicodeTest, RoundTripsAcrossThePlanes) {
    const std::u16string text = u"a\u00E9\u20AC\U0001F600z";
    EXPECT_EQ(platform::Utf16ToUtf8(text), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z");
    EXPECT_EQ(platform::Utf8ToUtf16(platform::Utf16ToUtf8(text)), text);
}

TEST(UnicodeTest, InvalidInputBecomesReplacementCharacters) {
    struct Case {
        std::string utf8;
        std::u16string expected;
    };
    const Case cases[] = {
        {"\xFF", u"\uFFFD"},                               // not a lead byte
        {"\xC3", u"\uFFFD"},                               // cut short at the end
        {"\xC3x", u"\uFFFDx"},                             // continuation missing
        {"\xC0\x80", u"\uFFFD\uFFFD"},                     // overlong zero
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},           // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // beyond U+10FFFF
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::Utf8ToUtf16(c.utf8), c.expected);
    }
    const char16_t lone[] = {u'a', 0xDC00, u'b', 0xD800, 0};
    EXPECT_EQ(platform::Utf16ToUtf8(lone), "a\xEF\xBF\xBD"
                                           "b\xEF\xBF\xBD");
}

} // namespace
