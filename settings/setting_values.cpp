#include "settings/setting_values.h"

#include "platform/registry/registry.h"

namespace {

WCHAR FoldCase(WCHAR c) {
    return c >= u'A' && c <= u'Z' ? static_cast<WCHAR>(c - u'A' + u'a') : c;
}

// The text is the word, compared without regard to case.
bool IsWord(const WCHAR* text, DWORD length, const char* word) {
    if (word == nullptr) {
        return false;
    }
    DWORD i = 0;
    for (; i < length && word[i] != '\0'; ++i) {
        if (FoldCase(text[i]) != FoldCase(static_cast<WCHAR>(word[i]))) {
            return false;
        }
    }
    return i == length && word[i] == '\0';
}

int DigitValue(WCHAR c, DWORD base) {
    int value = -1;
    if (c >= u'0' && c <= u'9') {
        value = c - u'0';
    } else if (c >= u'a' && c <= u'f') {
        value = c - u'a' + 10;
    } else if (c >= u'A' && c <= u'F') {
        value = c - u'A' + 10;
    }
    return value >= 0 && static_cast<DWORD>(value) < base ? value : -1;
}

// A number written as text: decimal, or hexadecimal after "0x". The whole text
// must be the number, and it must fit 32 bits.
bool ReadNumberText(const WCHAR* text, DWORD length, DWORD* number) {
    DWORD base = 10;
    if (length >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        base = 16;
        text += 2;
        length -= 2;
    }
    if (length == 0) {
        return false;
    }
    DWORD value = 0;
    for (DWORD i = 0; i < length; ++i) {
        int digit = DigitValue(text[i], base);
        if (digit < 0 || value > (0xFFFFFFFFu - static_cast<DWORD>(digit)) / base) {
            return false;
        }
        value = value * base + static_cast<DWORD>(digit);
    }
    *number = value;
    return true;
}

// A flag word: 1 for on, 0 for off, -1 for none.
int FlagWordValue(const SettingEntry& setting, const WCHAR* text, DWORD length) {
    if (IsWord(text, length, setting.onWord)) {
        return 1;
    }
    if (IsWord(text, length, setting.offWord)) {
        return 0;
    }
    for (const FlagWordPair& words : kFlagWords) {
        if (IsWord(text, length, words.on)) {
            return 1;
        }
        if (IsWord(text, length, words.off)) {
            return 0;
        }
    }
    return -1;
}

bool IsListedNumber(const SettingEntry& setting, DWORD number) {
    for (std::size_t i = 0; i < setting.numberCount; ++i) {
        if (setting.numbers[i] == number) {
            return true;
        }
    }
    return setting.numberCount == 0;
}

int TakeNumber(const SettingEntry& setting, DWORD number, SettingsRecord* record) {
    if (number < setting.lowest || number > setting.highest || !IsListedNumber(setting, number)) {
        return kValueOutOfRange;
    }
    *NumberField(setting, record) = number;
    return kValueTaken;
}

// At most 1023 units of text into the field, ended there.
int TakeText(const SettingEntry& setting, const WCHAR* text, DWORD length, SettingsRecord* record) {
    WCHAR* field = TextField(setting, record);
    DWORD kept = length < kLongestText ? length : kLongestText;
    for (DWORD i = 0; i < kept; ++i) {
        field[i] = text[i];
    }
    field[kept] = u'\0';
    return kept == length ? kValueTaken : kValueCut;
}

bool IsTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

// Stored UTF-16 text ends at its first zero unit, or where its bytes end.
DWORD StoredTextLength(const WCHAR* text, DWORD size) {
    DWORD units = size / sizeof(WCHAR);
    DWORD length = 0;
    while (length < units && text[length] != u'\0') {
        ++length;
    }
    return length;
}

} // namespace

int TakeSettingText(const SettingEntry& setting, const WCHAR* text, DWORD length,
                    SettingsRecord* record) {
    if (setting.kind == kTextSetting) {
        for (DWORD i = 0; i < length; ++i) {
            if (text[i] == u'\0') {
                return kValueNotUnderstood;
            }
        }
        if (setting.wordCount == 0) {
            return TakeText(setting, text, length, record);
        }
        // One of its words, kept as the row writes it.
        int word = FindSettingWord(setting, text, length);
        if (word < 0) {
            return kValueNotUnderstood;
        }
        WCHAR* field = TextField(setting, record);
        const char* chosen = setting.words[word];
        DWORD i = 0;
        for (; chosen[i] != '\0'; ++i) {
            field[i] = static_cast<WCHAR>(chosen[i]);
        }
        field[i] = u'\0';
        return kValueTaken;
    }
    DWORD number = 0;
    if (ReadNumberText(text, length, &number)) {
        return TakeNumber(setting, number, record);
    }
    int flag = setting.kind == kFlagSetting ? FlagWordValue(setting, text, length) : -1;
    if (flag < 0) {
        return kValueNotUnderstood;
    }
    return TakeNumber(setting, static_cast<DWORD>(flag), record);
}

int TakeStoredSetting(const SettingEntry& setting, DWORD type, const BYTE* data, DWORD size,
                      SettingsRecord* record) {
    if (IsTextType(type)) {
        const auto* text = reinterpret_cast<const WCHAR*>(data);
        return TakeSettingText(setting, text, StoredTextLength(text, size), record);
    }
    if (setting.kind == kTextSetting || type != REG_DWORD) {
        return kValueWrongType;
    }
    if (size != sizeof(DWORD)) {
        return kValueNotUnderstood;
    }
    DWORD number = static_cast<DWORD>(data[0]) | static_cast<DWORD>(data[1]) << 8 |
                   static_cast<DWORD>(data[2]) << 16 | static_cast<DWORD>(data[3]) << 24;
    return TakeNumber(setting, number, record);
}
