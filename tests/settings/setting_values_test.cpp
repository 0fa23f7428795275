// The one reading of setting values: words, numbers written as text and stored
// values of every type, each against the verdict and the field it gives.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/registry/registry.h"
#include "settings/setting_values.h"

namespace {

constexpr DWORD kUntouched = 0xDEADBEEF;

struct WordCase {
    const char16_t* setting;
    std::u16string word;
    int verdict;
    DWORD number; // the field afterwards; kUntouched when refused
};

TEST(SettingValues, WordsAndNumbersWrittenAsText) {
    const WordCase cases[] = {
        {u"Beep", u"on", kValueTaken, 1},
        {u"Beep", u"OFF", kValueTaken, 0},
        {u"Beep", u"Yes", kValueTaken, 1},
        {u"Beep", u"false", kValueTaken, 0},
        {u"Beep", u"0x1", kValueTaken, 1},
        {u"Beep", u"2", kValueOutOfRange, kUntouched},
        {u"Beep", u"msr", kValueNotUnderstood, kUntouched},
        {u"usemsr", u"RFID", kValueTaken, 0},
        {u"UseMSR", u"msr", kValueTaken, 1},
        {u"MSRInterval", u"0x3E8", kValueTaken, 1000},
        {u"MSRInterval", u"010", kValueTaken, 10},
        {u"MSRInterval", u"9", kValueOutOfRange, kUntouched},
        {u"MSRInterval", u"86400001", kValueOutOfRange, kUntouched},
        {u"MSRInterval", u"4294967296", kValueNotUnderstood, kUntouched},
        {u"MSRInterval", u"on", kValueNotUnderstood, kUntouched},
        {u"MSRInterval", u" 12", kValueNotUnderstood, kUntouched},
        {u"MSRInterval", u"0x", kValueNotUnderstood, kUntouched},
        {u"MSRInterval", u"", kValueNotUnderstood, kUntouched},
        {u"LineBaud", u"19200", kValueTaken, 19200},
        {u"LineBaud", u"9601", kValueOutOfRange, kUntouched},
    };
    for (const WordCase& c : cases) {
        SCOPED_TRACE(std::string(c.word.begin(), c.word.end()));
        const SettingEntry* setting = FindSetting(c.setting);
        ASSERT_NE(setting, nullptr);
        SettingsRecord record{};
        *NumberField(*setting, &record) = kUntouched;
        EXPECT_EQ(
            TakeSettingText(*setting, c.word.data(), static_cast<DWORD>(c.word.size()), &record),
            c.verdict);
        EXPECT_EQ(*NumberField(*setting, &record), c.number);
    }
}

// A text of a few words takes one of them in any case, kept as the catalogue
// writes it, and nothing else; its default is the first.
TEST(SettingValues, LineWordsAreTakenOnlyAsTheirOwn) {
    const SettingEntry& end = *FindSetting(u"LineEnd");
    SettingsRecord record = DefaultSettings();
    EXPECT_EQ(std::u16string(record.LineEnd), std::u16string(kLineEnds[0], kLineEnds[0] + 2));
    for (const auto& [word, verdict, kept] : {std::tuple{u"crlf", kValueTaken, u"CRLF"},
                                              std::tuple{u"CRL", kValueNotUnderstood, u"CRLF"},
                                              std::tuple{u"CRLF ", kValueNotUnderstood, u"CRLF"}}) {
        std::u16string text(word);
        EXPECT_EQ(TakeSettingText(end, text.data(), static_cast<DWORD>(text.size()), &record),
                  verdict);
        EXPECT_EQ(std::u16string(record.LineEnd), kept);
    }
}

std::vector<BYTE> Units(const std::u16string& text) {
    std::vector<BYTE> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<BYTE>(unit & 0xFF));
        bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
    return bytes;
}

struct StoredCase {
    const char16_t* setting;
    DWORD type;
    std::vector<BYTE> bytes;
    int verdict;
    std::u16string text; // a text field afterwards, "?" when untouched
    DWORD number = kUntouched;
};

// Whatever the stored bytes, a text ends inside its field and a number is
// taken only from a dword or from text. Each value lies in memory before a
// digit that is not part of it: a text without its terminator ends with its bytes.
TEST(SettingValues, StoredValuesOfEveryType) {
    const StoredCase cases[] = {
        {u"Prefix", REG_SZ, Units(u"abc"), kValueTaken, u"abc"}, // no terminator stored
        {u"Prefix", REG_EXPAND_SZ, Units(std::u16string(u"a\0b", 3)), kValueTaken, u"a"},
        {u"Prefix", REG_SZ, Units(std::u16string(1023, u'z') + u'\0'), kValueTaken,
         std::u16string(1023, u'z')},
        {u"Prefix", REG_SZ, Units(std::u16string(1024, u'z')), kValueCut,
         std::u16string(1023, u'z')},
        {u"Prefix", REG_SZ, {0x41, 0x00, 0x42}, kValueTaken, u"A"},
        {u"Prefix", REG_DWORD, {0x41, 0, 0x42, 0}, kValueWrongType, u"?"},
        {u"Prefix", REG_BINARY, Units(u"abc"), kValueWrongType, u"?"},
        {u"RFIDInterval", REG_DWORD, {0xE8, 0x03, 0, 0}, kValueTaken, u"", 1000},
        {u"RFIDInterval", REG_DWORD, {0x05, 0, 0, 0}, kValueOutOfRange, u""},
        {u"RFIDInterval", REG_DWORD, {0xE8, 0x03, 0}, kValueNotUnderstood, u""},
        {u"RFIDInterval", REG_BINARY, {0xE8, 0x03, 0, 0}, kValueWrongType, u""},
        {u"RFIDInterval", REG_SZ, Units(std::u16string(u"1000\0", 5)), kValueTaken, u"", 1000},
        {u"RFIDInterval", REG_SZ, Units(std::u16string(1020, u'0') + u"1000"), kValueTaken, u"",
         1000},
        {u"Enable", REG_SZ, Units(u"on"), kValueTaken, u"", 1},
        {u"Enable", REG_DWORD, {0x02, 0, 0, 0}, kValueOutOfRange, u""},
    };
    for (const StoredCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.setting, c.setting + 6) << " type "
                                        << c.type << ", " << c.bytes.size() << " bytes");
        const SettingEntry* setting = FindSetting(c.setting);
        SettingsRecord record{};
        std::fill(std::begin(record.Prefix), std::end(record.Prefix), u'?');
        record.Prefix[1] = u'\0';
        *NumberField(*FindSetting(u"RFIDInterval"), &record) = kUntouched;
        record.Enable = kUntouched;
        std::vector<BYTE> aligned = c.bytes; // heap memory, as the callers give
        aligned.insert(aligned.end(), {'7', 0});
        EXPECT_EQ(TakeStoredSetting(*setting, c.type, aligned.data(),
                                    static_cast<DWORD>(c.bytes.size()), &record),
                  c.verdict);
        if (setting->kind == kTextSetting) {
            EXPECT_EQ(std::u16string(record.Prefix), c.text);
            EXPECT_EQ(record.Suffix[0], u'\0') << "nothing past the field";
        } else {
            EXPECT_EQ(*NumberField(*setting, &record), c.number);
        }
    }
}

} // namespace
