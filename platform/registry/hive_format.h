// The text form of one registry hive file: the registry export format that
// registry editors read and write ("Windows Registry Editor Version 5.00").
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
// Encoding: UTF-8, as this program writes a new hive; a file that starts with a
// byte-order mark is read in the encoding it marks, UTF-8 or UTF-16 of either
// byte order (registry editors export UTF-16 with a mark by default), and is
// written back in it, mark included. Line ends are line feeds, with carriage
// returns before them accepted; what the program adds takes the line end of
// the file's first line.
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
// A hive that was read is written back as it was, byte for byte, except where
// it changed: every key and value keeps the exact text it was read from (with
// the blank and comment lines before it) until it is given other data, and
// only then is it written in the form above. So a person's layout and notes
// survive the program's writes. Key and value names compare without regard to
// case; the file keeps the case they were written with.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/types.h"

namespace platform::hive {

enum class Encoding { Utf8, Utf8WithMark, Utf16LittleEndian, Utf16BigEndian };

// The exact text an item was read from (UTF-8, each line with its line end).
// It is how the item is written back, and takes no part in comparisons.
struct SourceText {
    bool read = false;  // the item came from a file: `before` stands for its comments
    std::string before; // the blank and comment lines before the item
    std::string own;    // the item's own line(s); empty once it was given other data
    bool operator==(const SourceText&) const { return true; }
};

struct Value {
    std::u16string name; // empty for the key's default value (@)
    DWORD type = 0;
    std::vector<BYTE> data;
    std::vector<std::string> comments; // whole comment lines before the value
    SourceText source;
    bool operator==(const Value&) const = default;
};

struct Key {
    std::u16string path; // full path with its root, e.g. HKEY_CURRENT_USER\Software
    std::vector<Value> values;
    std::vector<std::string> comments; // comment lines before the key's header
    SourceText source;
    bool operator==(const Key&) const = default;
};

struct Document {
    std::vector<std::string> leadingComments;  // before the format line
    std::vector<Key> keys;                     // in file order
    std::vector<std::string> trailingComments; // after the last value
    Encoding encoding = Encoding::Utf8;
    std::string lineEnd = "\n"; // for the lines the program writes
    SourceText formatLine;      // the format line, after the leading lines
    SourceText trailing;        // `before` holds the lines after the last value
    bool operator==(const Document&) const = default;
};

struct ParseError {
    int line = 0; // 1-based line of the fault
    std::string reason;
};

// Reads a hive file's bytes. An empty text (or one of blank lines and comments
// only) is an empty hive. On a fault returns nothing and fills `error`.
std::optional<Document> Parse(std::string_view bytes, ParseError& error);

// Reads a hive file's bytes as Parse does, leaving out each line that Parse
// refuses (at most `most` of them, each said in `ignored` by its line in the
// file), so that one damaged line does not cost every other value. Nothing
// when the text cannot be decoded or more lines would have to go.
std::optional<Document> ParseKeeping(std::string_view bytes, std::vector<ParseError>& ignored,
                                     std::size_t most);

// Writes the document, in its encoding, in the form Parse reads back to an
// equal document.
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
// A value given the type and bytes it has keeps its text.
void SetValue(Key& key, std::u16string_view name, DWORD type, std::vector<BYTE> data);

// True when a name can be written to and read back from a hive file: no line
// break, no lone surrogate. Key names must also hold no backslash.
bool IsStorableName(std::u16string_view name);

} // namespace platform::hive
