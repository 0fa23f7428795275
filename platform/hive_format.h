// The text form of one registry hive file: the registry export format that
// registry editors read and write ("Windows Registry Editor Version 5.00"), in
// UTF-8 instead of UTF-16, with line feeds as line ends (carriage returns before
// them are accepted).
//
//   Windows Registry Editor Version 5.00
//
//   ; a comment line
//   [HKEY_LOCAL_MACHINE\Software\Zelna\Swipetype]
//   "Enable"=dword:00000001
//   "Prefix"="ID:"
//   @="the key's default value"
//   "Raw"=hex(3):01,02,03,\    (a backslash at the end continues the bytes
//     04,05                       on the next line)
//
// Writing: a REG_DWORD of four bytes as dword:, a REG_SZ whose bytes are a clean
// terminated UTF-16 text without line breaks as a quoted string (\\ and \"
// escaped), and every other value as hex(N): with its exact bytes, N being the
// type in hexadecimal. So every value comes back with its type and bytes.
//
// Reading accepts what people write by hand in that format: blank lines,
// comment lines starting with ';', keys in any order, hex: for REG_BINARY,
// dword: with 1 to 8 digits, spaces around '=' and between hex bytes. A key
// that appears twice is one key; a value named twice keeps the later data. The
// import-only forms that delete ([-key], "name"=-) mean nothing in a hive and
// are refused, as is anything else the format does not know.
//
// Comment lines are kept with the value or key that follows them, so a person's
// notes survive the program's writes. Key and value names compare without
// regard to case; the file keeps the case they were written with.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace platform::hive {

struct Value {
    std::u16string name; // empty for the key's default value (@)
    DWORD type = 0;
    std::vector<BYTE> data;
    std::vector<std::string> comments; // whole comment lines before the value
    bool operator==(const Value&) const = default;
};

struct Key {
    std::u16string path; // full path with its root, e.g. HKEY_CURRENT_USER\Software
    std::vector<Value> values;
    std::vector<std::string> comments; // comment lines before the key's header
    bool operator==(const Key&) const = default;
};

struct Document {
    std::vector<std::string> leadingComments;  // before the format line
    std::vector<Key> keys;                     // in file order
    std::vector<std::string> trailingComments; // after the last value
    bool operator==(const Document&) const = default;
};

struct ParseError {
    int line = 0; // 1-based line of the fault
    std::string reason;
};

// Reads a hive file's text. An empty text (or one of blank lines and comments
// only) is an empty hive. On a fault returns nothing and fills `error`.
std::optional<Document> Parse(std::string_view text, ParseError& error);

// Writes the document in the form Parse reads back to an equal document.
std::string Serialize(const Document& document);

// Names compare as the registry compares them: letters without regard to case.
bool NamesEqual(std::u16string_view left, std::u16string_view right);

// The key with exactly this path, or null.
Key* FindKey(Document& document, std::u16string_view path);
const Key* FindKey(const Document& document, std::u16string_view path);

// True when the key has its own section or is the parent of one that has.
bool KeyExists(const Document& document, std::u16string_view path);

// The key with this path, added at the end when missing.
Key& AddKey(Document& document, std::u16string_view path);

Value* FindValue(Key& key, std::u16string_view name);
const Value* FindValue(const Key& key, std::u16string_view name);

// Replaces the value's type and bytes, adding the value at the end when missing.
void SetValue(Key& key, std::u16string_view name, DWORD type, std::vector<BYTE> data);

// True when a name can be written to and read back from a hive file: no line
// break, no lone surrogate. Key names must also hold no backslash.
bool IsStorableName(std::u16string_view name);

} // namespace platform::hive
