#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "keys/text_conversion.h"
#include "platform/core/codepage.h"
#include "platform/core/system.h"

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using WideText = std::unique_ptr<WCHAR, FreeDeleter>;
using NarrowText = std::unique_ptr<char, FreeDeleter>;

class TextConversionTest : public testing::Test {
  protected:
    void TearDown() override { platform::SetAnsiCodePage(1252); }
};

TEST_F(TextConversionTest, EmptyTextsGiveJustTheTerminatorAndNullTextsGiveNull) {
    EXPECT_EQ(NarrowToWide(nullptr), nullptr);
    EXPECT_EQ(WideToNarrow(nullptr), nullptr);
    WideText wide(NarrowToWide(""));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide.get()[0], u'\0');
    NarrowText narrow(WideToNarrow(u""));
    ASSERT_NE(narrow, nullptr);
    EXPECT_EQ(narrow.get()[0], '\0');
}

TEST_F(TextConversionTest, Windows1252RoundTripsEveryByte) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) {
        all += static_cast<char>(byte);
    }
    WideText wide(NarrowToWide(all.c_str()));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::char_traits<char16_t>::length(wide.get()), all.size());
    EXPECT_EQ(wide.get()[0x80 - 1], u'\u20AC');
    EXPECT_EQ(wide.get()[0x81 - 1], u'\u0081') << "undefined bytes map to their own value";
    EXPECT_EQ(wide.get()[0xE9 - 1], u'\u00E9');
    NarrowText back(WideToNarrow(wide.get()));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::string(back.get()), all);
}

TEST_F(TextConversionTest, Utf8NarrowTextNeedsMoreBytesThanCharacters) {
    ASSERT_TRUE(platform::SetAnsiCodePage(CP_UTF8));
    const char16_t text[] = u"\u20AC\u00E9x\U0001F600";
    NarrowText narrow(WideToNarrow(text));
    ASSERT_NE(narrow, nullptr);
    EXPECT_STREQ(narrow.get(), "\xE2\x82\xAC\xC3\xA9x\xF0\x9F\x98\x80");
    WideText wide(NarrowToWide(narrow.get()));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::u16string(wide.get()), std::u16string(text));
}

TEST_F(TextConversionTest, UnmappableCharacterBecomesQuestionMark) {
    NarrowText narrow(WideToNarrow(u"a\u0141b"));
    ASSERT_NE(narrow, nullptr);
    EXPECT_STREQ(narrow.get(), "a?b");
}

TEST(CodePageTest, OnlyWindows1252AndUtf8AreAccepted) {
    EXPECT_FALSE(platform::SetAnsiCodePage(437));
    EXPECT_EQ(platform::AnsiCodePage(), 1252u);
}

TEST(CodePageTest, MultiByteToWideCharFollowsDeviceConventions) {
    WCHAR buffer[8];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4) << "size query";
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, buffer, 8), 3) << "no terminator";
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcdefghij", -1, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, -1, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xC3", 1, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xC3x", 2, buffer, 8), 2);
    EXPECT_EQ(buffer[0], u'\uFFFD');
}

TEST(CodePageTest, WideCharToMultiByteReportsDefaultCharacter) {
    char buffer[8];
    BOOL usedDefault = FALSE;
    EXPECT_EQ(WideCharToMultiByte(1252, 0, u"\u0141", -1, buffer, 8, "#", &usedDefault), 2);
    EXPECT_STREQ(buffer, "#");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(WideCharToMultiByte(1252, 0, u"ok", -1, buffer, 8, nullptr, &usedDefault), 3);
    EXPECT_FALSE(usedDefault);
}

} // namespace
