#include <gtest/gtest.h>

#include "platform/registry/hive_format.h"

namespace {

using namespace std::string_view_literals;
using platform::hive::Document;
using platform::hive::Parse;
using platform::hive::ParseError;
using platform::hive::Serialize;
using platform::hive::Value;

std::vector<BYTE> Bytes(std::initializer_list<int> values) {
    std::vector<BYTE> bytes;
    for (int v : values) {
        bytes.push_back(static_cast<BYTE>(v));
    }
    return bytes;
}

std::vector<BYTE> Utf16z(std::u16string_view text) {
    std::vector<BYTE> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<BYTE>(unit & 0xFF));
        bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

Document MustParse(std::string_view text) {
    ParseError error;
    std::optional<Document> document = Parse(text, error);
    EXPECT_TRUE(document.has_value()) << "line " << error.line << ": " << error.reason;
    return document.value_or(Document{});
}

const Value* Find(const Document& document, std::u16string_view key, std::u16string_view name) {
    const platform::hive::Key* found = platform::hive::FindKey(document, key);
    return found == nullptr ? nullptr : platform::hive::FindValue(*found, name);
}

constexpr std::string_view kHandWritten = "\xEF\xBB\xBF; kept by hand\r\n"
                                          "Windows Registry Editor Version 5.00\r\n"
                                          "\r\n"
                                          "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
                                          "; the colour of the thing\r\n"
                                          "\"Colour\" = \"blue \\\"sky\\\" \\\\ sea\"\r\n"
                                          "@=\"default\"\r\n"
                                          "\r\n"
                                          "[HKEY_LOCAL_MACHINE\\Software\\Zelna\\Swipetype]\r\n"
                                          "\"Enable\"=dword:1\r\n"
                                          "\"Raw\"=hex:01,2,ff\r\n"
                                          "\"Multi\"=hex(7):61,00,00,00,\\\r\n"
                                          "    00,00\r\n"
                                          "\"Quad\"=hex(b):01,00,00,00,00,00,00,00\r\n"
                                          "\"Empty\"=hex(1):\r\n"
                                          "; the end\r\n";

TEST(HiveFormat, ReadsWhatAPersonWritesAndWritesItBackAsItWas) {
    Document document = MustParse(kHandWritten);
    ASSERT_EQ(document.keys.size(), 2u);
    EXPECT_EQ(document.leadingComments, std::vector<std::string>{"; kept by hand"});
    EXPECT_EQ(document.trailingComments, std::vector<std::string>{"; the end"});
    struct Expected {
        std::u16string_view key, name;
        DWORD type;
        std::vector<BYTE> data;
    };
    const std::u16string_view other = u"HKEY_CURRENT_USER\\Software\\Other";
    const std::u16string_view ours = u"hkey_local_machine\\software\\zelna\\swipetype";
    const Expected expected[] = {
        {other, u"colour", 1, Utf16z(u"blue \"sky\" \\ sea")},
        {other, u"", 1, Utf16z(u"default")},
        {ours, u"Enable", 4, Bytes({1, 0, 0, 0})},
        {ours, u"Raw", 3, Bytes({1, 2, 0xFF})},
        {ours, u"Multi", 7, Bytes({0x61, 0, 0, 0, 0, 0})},
        {ours, u"Quad", 11, Bytes({1, 0, 0, 0, 0, 0, 0, 0})},
        {ours, u"Empty", 1, {}},
    };
    for (const Expected& e : expected) {
        const Value* value = Find(document, e.key, e.name);
        ASSERT_NE(value, nullptr) << std::string(e.name.begin(), e.name.end());
        EXPECT_EQ(value->type, e.type);
        EXPECT_EQ(value->data, e.data);
    }
    EXPECT_EQ(Serialize(document), kHandWritten) << "byte for byte, mark and line ends included";
    // A changed value is written in the program's form with the file's line
    // end; the notes before it stay.
    platform::hive::SetValue(document.keys[0], u"Colour", 1, Utf16z(u"red"));
    std::string written = Serialize(document);
    EXPECT_NE(written.find("; the colour of the thing\r\n\"Colour\"=\"red\"\r\n@="),
              std::string::npos)
        << written;
    EXPECT_EQ(MustParse(written), document);
}

TEST(HiveFormat, WritesEachTypeInItsForm) {
    Document document;
    platform::hive::Key& key = platform::hive::AddKey(document, u"HKEY_LOCAL_MACHINE\\A");
    platform::hive::SetValue(key, u"Enable", 4, Bytes({1, 0, 0, 0}));
    platform::hive::SetValue(key, u"Prefix", 1, Utf16z(u"ID:\"x\"\\"));
    platform::hive::SetValue(key, u"Empty", 1, Utf16z(u""));
    platform::hive::SetValue(key, u"Raw", 3, Bytes({1, 2, 3}));
    platform::hive::SetValue(key, u"Short", 4, Bytes({1, 2}));
    platform::hive::SetValue(key, u"NoEnd", 1, Bytes({0x41, 0}));
    platform::hive::SetValue(key, u"Break", 1, Utf16z(u"a\nb"));
    platform::hive::SetValue(key, u"", 1, Utf16z(u"d"));
    EXPECT_EQ(Serialize(document), "Windows Registry Editor Version 5.00\n"
                                   "\n"
                                   "[HKEY_LOCAL_MACHINE\\A]\n"
                                   "\"Enable\"=dword:00000001\n"
                                   "\"Prefix\"=\"ID:\\\"x\\\"\\\\\"\n"
                                   "\"Empty\"=\"\"\n"
                                   "\"Raw\"=hex(3):01,02,03\n"
                                   "\"Short\"=hex(4):01,02\n"
                                   "\"NoEnd\"=hex(1):41,00\n"
                                   "\"Break\"=hex(1):61,00,0a,00,62,00,00,00\n"
                                   "@=\"d\"\n");
}

TEST(HiveFormat, LongHexValuesWrapAndReadBack) {
    Document document;
    platform::hive::Key& key = platform::hive::AddKey(document, u"HKEY_LOCAL_MACHINE\\A");
    std::vector<BYTE> bytes(2048);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<BYTE>(i * 7);
    }
    platform::hive::SetValue(key, u"Big", 1, bytes);
    std::string text = Serialize(document);
    std::size_t longest = 0;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        longest = std::max(longest, end - start);
    }
    EXPECT_LE(longest, 80u);
    EXPECT_EQ(MustParse(text), document);
}

TEST(HiveFormat, RepeatedKeysAndValuesMerge) {
    Document document = MustParse("Windows Registry Editor Version 5.00\n"
                                  "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:1\n\"y\"=dword:2\n"
                                  "[HKEY_LOCAL_MACHINE\\B]\n"
                                  "[hkey_local_machine\\a]\n\"X\"=dword:3\n");
    ASSERT_EQ(document.keys.size(), 2u);
    ASSERT_EQ(document.keys[0].values.size(), 2u);
    EXPECT_EQ(document.keys[0].values[0].name, u"x");
    EXPECT_EQ(document.keys[0].values[0].data, Bytes({3, 0, 0, 0}));
}

TEST(HiveFormat, EmptyTextIsAnEmptyHive) {
    for (std::string_view text : {"", "\n\n", "; only a note\n", "\xEF\xBB\xBF"}) {
        Document document = MustParse(text);
        EXPECT_TRUE(document.keys.empty()) << text;
    }
}

struct Rejected {
    std::string_view text;
    int line;
};

TEST(HiveFormat, RefusesWhatItDoesNotKnow) {
    const Rejected cases[] = {
        {"REGEDIT4\n", 1},
        {"[HKEY_LOCAL_MACHINE\\A]\n", 1},
        {"Windows Registry Editor Version 5.00\n\"x\"=dword:1\n", 2},
        {"Windows Registry Editor Version 5.00\n[-HKEY_LOCAL_MACHINE\\A]\n", 2},
        {"Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A\n", 2},
        {"Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\\\A]\n", 2},
        {"Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A\\]\n", 2},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"=-\n", 3},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"=dword:123456789\n", 3},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"=dword:\n", 3},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"=dword:12g\n", 3},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"=hex:1,,2\n", 3},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"=hex:123\n", 3},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"=hex(z):1\n", 3},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"=hex:01,\\\n", 4},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"=hex:01,\\\n; no\n", 4},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"=hex:01,\\", 3},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"=\"abc\n", 3},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"=\"a\\nb\"\n", 3},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"=\"a\" junk\n", 3},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"\n", 3},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"=str:1\n", 3},
        {"Windows Registry Editor Version 5.00\n[A]\nx=dword:1\n", 3},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"=\"\xC3\x28\"\n", 3},
        {"Windows Registry Editor Version 5.00\n[A]\n\"x\"=\"\xED\xA0\x80\"\n", 3},
        {"\xFF\xFE;\0\n\0;"sv, 2},          // UTF-16 that ends in half a unit
        {"\xFE\xFF\0;\0\n\xD8\0\0\n"sv, 2}, // a lone surrogate
        {"\xFE\xFF\0;\xDC\0\xDC\0"sv, 1},   // two low surrogates are no pair
    };
    for (const Rejected& c : cases) {
        ParseError error;
        EXPECT_FALSE(Parse(c.text, error).has_value()) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_FALSE(error.reason.empty());
    }
}

TEST(HiveFormat, NamesCompareWithoutCaseAndParentsOfKeysExist) {
    EXPECT_TRUE(platform::hive::NamesEqual(u"Software\\ZELNA", u"software\\zelna"));
    EXPECT_TRUE(platform::hive::NamesEqual(u"\u00C9t\u00E9", u"\u00E9T\u00C9"));
    EXPECT_FALSE(platform::hive::NamesEqual(u"Beep", u"Beep2"));
    EXPECT_FALSE(platform::hive::NamesEqual(u"a:", u"a\x1a"));
    // A key's parents exist through it (the registry's test), a name's prefix does not.
    Document document = MustParse("Windows Registry Editor Version 5.00\n"
                                  "[HKEY_LOCAL_MACHINE\\Software\\Zelna\\Swipetype]\n");
    EXPECT_FALSE(platform::hive::KeyExists(document, u"HKEY_LOCAL_MACHINE\\Soft"));
    EXPECT_FALSE(
        platform::hive::KeyExists(document, u"HKEY_LOCAL_MACHINE\\Software\\Zelna\\Swipetype\\X"));
}

} // namespace
