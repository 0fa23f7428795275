#include "stored_settings.h"

#include <charconv>
#include <optional>
#include <vector>

#include "platform/core/unicode.h"
#include "platform/registry/registry.h"

namespace config_tool {
namespace {

using setting_catalog::Kind;

std::optional<std::vector<BYTE>> Query(const setting_catalog::Setting& setting, DWORD& type) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, setting_catalog::kRegistryKey, 0, 0, &key) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::u16string name = platform::Utf8ToUtf16(setting.name);
    DWORD size = 0;
    std::optional<std::vector<BYTE>> bytes;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        bytes.emplace(size);
        if (RegQueryValueExW(key, name.c_str(), nullptr, &type, bytes->data(), &size) !=
            ERROR_SUCCESS) {
            bytes.reset();
        }
    }
    RegCloseKey(key);
    return bytes;
}

// UTF-16 units up to a terminator or the end, at most the field's 1023.
std::u16string TextOf(const std::vector<BYTE>& bytes) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size() && text.size() < setting_catalog::kLongestText;
         i += 2) {
        auto unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == u'\0') {
            break;
        }
        text += unit;
    }
    return text;
}

// Four bytes of any type but text, or a text that spells a number in decimal
// or after "0x" in hexadecimal, as the program loads a number.
std::optional<unsigned long> NumberOf(const std::vector<BYTE>& bytes, DWORD type) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        if (bytes.size() != 4) {
            return std::nullopt;
        }
        return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<DWORD>(bytes[3]) << 24);
    }
    std::string text = platform::Utf16ToUtf8(TextOf(bytes));
    int base = text.starts_with("0x") || text.starts_with("0X") ? 16 : 10;
    std::string_view digits = std::string_view(text).substr(base == 16 ? 2 : 0);
    std::uint32_t number = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number, base);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return number;
}

} // namespace

std::string StoredValue(const setting_catalog::Setting& setting) {
    DWORD type = REG_NONE;
    std::optional<std::vector<BYTE>> bytes = Query(setting, type);
    if (!bytes) {
        return setting.defaultValue;
    }
    if (setting.kind == Kind::Text) {
        return platform::Utf16ToUtf8(TextOf(*bytes));
    }
    std::optional<unsigned long> number = NumberOf(*bytes, type);
    if (!number) {
        return setting.defaultValue;
    }
    return setting.kind == Kind::Flag ? setting_catalog::FormatFlag(*number)
                                      : setting_catalog::FormatNumber(*number);
}

LONG StoreValue(const setting_catalog::Setting& setting, const std::string& value) {
    std::vector<BYTE> bytes;
    DWORD type = REG_DWORD;
    if (setting.kind == Kind::Text) {
        type = REG_SZ;
        for (char16_t unit : platform::Utf8ToUtf16(value) + u'\0') {
            bytes.push_back(static_cast<BYTE>(unit & 0xFF));
            bytes.push_back(static_cast<BYTE>(unit >> 8));
        }
    } else {
        DWORD number = setting.kind == Kind::Flag ? (value == "on" ? 1 : 0)
                                                  : static_cast<DWORD>(std::stoul(value));
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<BYTE>(number >> shift));
        }
    }
    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, setting_catalog::kRegistryKey, 0, nullptr, 0,
                                  0, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    std::u16string name = platform::Utf8ToUtf16(setting.name);
    result =
        RegSetValueExW(key, name.c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    return result;
}

} // namespace config_tool
