#include "platform/registry/hive_format.h"

#include <algorithm>
#include <cstdio>

#include "platform/core/strict_utf8.h"
#include "platform/registry/hive_encoding.h"

namespace platform::hive {
namespace {

constexpr std::string_view kFormatLine = "Windows Registry Editor Version 5.00";
constexpr DWORD kString = 1; // REG_SZ
constexpr DWORD kDword = 4;  // REG_DWORD
constexpr DWORD kBinary = 3; // REG_BINARY, what "hex:" stands for
constexpr std::size_t kHexLineWidth = 76;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [&](char a, char b) { return lower(a) == lower(b); });
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
        return (c | 0x20) - 'a' + 10;
    }
    return -1;
}

// 1 to `maxDigits` hexadecimal digits and nothing else.
std::optional<DWORD> ParseHexNumber(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) {
        return std::nullopt;
    }
    DWORD value = 0;
    for (char c : text) {
        int digit = HexDigit(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = (value << 4) | static_cast<DWORD>(digit);
    }
    return value;
}

char16_t FoldCase(char16_t c) {
    if (c >= u'a' && c <= u'z') {
        return static_cast<char16_t>(c - 0x20);
    }
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
        return static_cast<char16_t>(c - 0x20);
    }
    return c;
}

std::vector<BYTE> TextBytes(std::u16string_view text) {
    std::vector<BYTE> bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (char16_t unit : text) {
        bytes.push_back(static_cast<BYTE>(unit & 0xFF));
        bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

// The text of a REG_SZ that can be written as a quoted string: whole UTF-16
// units, one terminator at the very end, no line break, no lone surrogate.
std::optional<std::string> CleanText(const std::vector<BYTE>& data) {
    if (data.size() < 2 || data.size() % 2 != 0) {
        return std::nullopt;
    }
    std::u16string text;
    for (std::size_t i = 0; i < data.size(); i += 2) {
        text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    }
    if (text.back() != 0) {
        return std::nullopt;
    }
    text.pop_back();
    if (text.find_first_of(std::u16string_view(u"\0\r\n", 3)) != std::u16string::npos) {
        return std::nullopt;
    }
    return EncodeUtf8(text);
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
    return out;
}

std::string HexData(const Value& value) {
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
    std::string out = prefix;
    // The value's name and the prefix come first on the first line.
    std::size_t column = value.name.size() + 3 + out.size();
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", value.data[i]);
        out += byte;
        column += 2;
        if (i + 1 < value.data.size()) {
            out += ',';
            ++column;
            if (column >= kHexLineWidth) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
    return out;
}

std::string ValueData(const Value& value) {
    if (value.type == kDword && value.data.size() == 4) {
        DWORD number = static_cast<DWORD>(value.data[0]) | (value.data[1] << 8) |
                       (value.data[2] << 16) | (static_cast<DWORD>(value.data[3]) << 24);
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(number));
        return text;
    }
    if (value.type == kString) {
        if (std::optional<std::string> text = CleanText(value.data)) {
            return Quote(*text);
        }
    }
    return HexData(value);
}

// Builds the written text. A piece is never glued to a last line that was
// read without a line end.
class Writer {
  public:
    explicit Writer(std::string lineEnd) : lineEnd_(std::move(lineEnd)) {}

    void Text(std::string_view text) {
        if (!text.empty() && !out_.empty() && out_.back() != '\n') {
            out_ += lineEnd_;
        }
        out_ += text;
    }
    void Line(std::string_view line) {
        Text(line);
        out_ += lineEnd_;
    }
    void Comments(const std::vector<std::string>& comments) {
        for (const std::string& comment : comments) {
            Line(comment);
        }
    }
    // What stands before an item: the lines it was read with, else its comments.
    void Before(const SourceText& source, const std::vector<std::string>& comments) {
        if (source.read) {
            Text(source.before);
        } else {
            Comments(comments);
        }
    }
    const std::string& LineEnd() const { return lineEnd_; }
    std::string Take() { return std::move(out_); }

  private:
    std::string lineEnd_;
    std::string out_;
};

// Reads the document line by line; each method consumes what it recognises.
class Parser {
  public:
    Parser(std::string_view text, ParseError& error) : error_(error) {
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t end = text.find('\n', start);
            // Each line's exact text, with its line end when it has one.
            std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
            if (end == std::string_view::npos) {
                end = text.size();
            }
            lines_.push_back(text.substr(start, end - start));
            sources_.push_back(text.substr(start, next - start));
            start = end + 1;
        }
        std::size_t firstEnd = text.find('\n');
        if (firstEnd != std::string_view::npos && firstEnd > 0 && text[firstEnd - 1] == '\r') {
            document_.lineEnd = "\r\n";
        }
    }

    std::optional<Document> Run() {
        for (line_ = 0; line_ < lines_.size(); ++line_) {
            if (!ParseLine(Trim(lines_[line_]))) {
                return std::nullopt;
            }
        }
        if (sawFormatLine_) {
            document_.trailingComments = std::move(pending_);
            document_.trailing = SourceText{true, std::move(pendingSource_), ""};
        } else {
            document_.leadingComments = std::move(pending_);
            document_.formatLine.before = std::move(pendingSource_);
        }
        return std::move(document_);
    }

  private:
    bool Fail(std::string reason) {
        error_.line = static_cast<int>(line_ + 1);
        error_.reason = std::move(reason);
        return false;
    }

    // The exact text of the blank and comment lines before an item, taken for it.
    SourceText TakeSource(std::size_t firstLine) {
        SourceText source{true, std::move(pendingSource_), ""};
        pendingSource_.clear();
        for (std::size_t i = firstLine; i <= line_; ++i) {
            source.own += sources_[i];
        }
        return source;
    }

    bool ParseLine(std::string_view line) {
        if (line.empty()) {
            pendingSource_ += sources_[line_];
            return true;
        }
        if (line.front() == ';') {
            pending_.emplace_back(line);
            pendingSource_ += sources_[line_];
            return true;
        }
        if (!sawFormatLine_) {
            if (line != kFormatLine) {
                return Fail("the first line is not \"" + std::string(kFormatLine) + "\"");
            }
            sawFormatLine_ = true;
            document_.leadingComments = std::move(pending_);
            pending_.clear();
            document_.formatLine = TakeSource(line_);
            return true;
        }
        if (line.front() == '[') {
            return ParseKeyHeader(line);
        }
        if (line.front() == '"' || line.front() == '@') {
            return ParseValueLine(line);
        }
        return Fail("a line that is neither a key, a value nor a comment");
    }

    bool ParseKeyHeader(std::string_view line) {
        if (line.size() < 3 || line.back() != ']') {
            return Fail("a key line must be [name]");
        }
        std::string_view path = line.substr(1, line.size() - 2);
        if (path.front() == '-') {
            return Fail("deleting a key has no place in a hive file");
        }
        std::optional<std::u16string> wide = DecodeUtf8(path);
        if (!wide || wide->front() == u'\\' || wide->back() == u'\\' ||
            wide->find(u"\\\\") != std::u16string::npos) {
            return Fail("a key name has an empty part");
        }
        Key* key = FindKey(document_, *wide);
        if (key == nullptr) {
            key = &AddKey(document_, *wide);
            key->source = TakeSource(line_);
        } else {
            // A second header of the key: its values join the first one's.
            key->source.before += TakeSource(line_).before;
        }
        key->comments.insert(key->comments.end(), pending_.begin(), pending_.end());
        pending_.clear();
        current_ = static_cast<std::size_t>(key - document_.keys.data());
        haveKey_ = true;
        return true;
    }

    // Reads a quoted string starting at text[0] == '"'; `text` is left after it.
    bool ReadQuoted(std::string_view& text, std::u16string& out) {
        std::string bytes;
        std::size_t i = 1;
        for (; i < text.size() && text[i] != '"'; ++i) {
            if (text[i] == '\\') {
                if (i + 1 >= text.size() || (text[i + 1] != '\\' && text[i + 1] != '"')) {
                    return Fail("a backslash in quotes must be followed by \\ or \"");
                }
                ++i;
            }
            bytes += text[i];
        }
        if (i >= text.size()) {
            return Fail("a quoted text has no closing quote");
        }
        text.remove_prefix(i + 1);
        out = DecodeUtf8(bytes).value_or(u"");
        return true;
    }

    bool ParseValueLine(std::string_view line) {
        if (!haveKey_) {
            return Fail("a value before the first key");
        }
        std::size_t firstLine = line_;
        std::u16string name;
        if (line.front() == '@') {
            line.remove_prefix(1);
        } else if (!ReadQuoted(line, name)) {
            return false;
        }
        line = Trim(line);
        if (line.empty() || line.front() != '=') {
            return Fail("a value name must be followed by =");
        }
        line = Trim(line.substr(1));
        DWORD type = 0;
        std::vector<BYTE> data;
        if (!ParseData(line, type, data)) {
            return false;
        }
        Key& key = document_.keys[current_];
        Value* existing = FindValue(key, name);
        SourceText source = TakeSource(firstLine);
        if (existing == nullptr) {
            key.values.push_back(Value{name, type, std::move(data), {}, std::move(source)});
            existing = &key.values.back();
        } else {
            // Named again: the later data in the first one's place.
            existing->type = type;
            existing->data = std::move(data);
            existing->source.before += source.before;
            existing->source.own.clear();
        }
        existing->comments.insert(existing->comments.end(), pending_.begin(), pending_.end());
        pending_.clear();
        return true;
    }

    bool ParseData(std::string_view data, DWORD& type, std::vector<BYTE>& bytes) {
        if (!data.empty() && data.front() == '"') {
            std::u16string text;
            if (!ReadQuoted(data, text)) {
                return false;
            }
            if (!data.empty()) {
                return Fail("text after a quoted value");
            }
            type = kString;
            bytes = TextBytes(text);
            return true;
        }
        if (StartsWithNoCase(data, "dword:")) {
            std::optional<DWORD> number = ParseHexNumber(data.substr(6), 8);
            if (!number) {
                return Fail("dword: needs 1 to 8 hexadecimal digits");
            }
            type = kDword;
            bytes = {static_cast<BYTE>(*number), static_cast<BYTE>(*number >> 8),
                     static_cast<BYTE>(*number >> 16), static_cast<BYTE>(*number >> 24)};
            return true;
        }
        if (StartsWithNoCase(data, "hex:")) {
            type = kBinary;
            return ParseHexBytes(data.substr(4), bytes);
        }
        if (StartsWithNoCase(data, "hex(")) {
            std::size_t close = data.find("):");
            std::optional<DWORD> number = close == std::string_view::npos
                                              ? std::nullopt
                                              : ParseHexNumber(data.substr(4, close - 4), 8);
            if (!number) {
                return Fail("hex( needs a hexadecimal type and ):");
            }
            type = *number;
            return ParseHexBytes(data.substr(close + 2), bytes);
        }
        if (data == "-") {
            return Fail("deleting a value has no place in a hive file");
        }
        return Fail("a value must be \"text\", dword: or hex");
    }

    // Comma-separated bytes; a backslash at the end of a line continues them
    // on the next one.
    bool ParseHexBytes(std::string_view first, std::vector<BYTE>& bytes) {
        std::string list(Trim(first));
        while (!list.empty() && list.back() == '\\') {
            list.pop_back();
            if (line_ + 1 >= lines_.size()) {
                return Fail("the hex bytes continue past the end of the file");
            }
            ++line_;
            list += Trim(lines_[line_]);
        }
        if (Trim(list).empty()) {
            return true;
        }
        std::string_view rest = list;
        while (true) {
            std::size_t comma = rest.find(',');
            std::optional<DWORD> byte = ParseHexNumber(Trim(rest.substr(0, comma)), 2);
            if (!byte) {
                return Fail("hex bytes must be 1 or 2 hexadecimal digits between commas");
            }
            bytes.push_back(static_cast<BYTE>(*byte));
            if (comma == std::string_view::npos) {
                return true;
            }
            rest.remove_prefix(comma + 1);
        }
    }

    ParseError& error_;
    std::vector<std::string_view> lines_;
    std::vector<std::string_view> sources_; // the lines with their line ends
    std::size_t line_ = 0;
    Document document_;
    std::vector<std::string> pending_; // comment lines waiting for their item
    std::string pendingSource_;        // their exact text, blank lines included
    bool sawFormatLine_ = false;
    bool haveKey_ = false;
    std::size_t current_ = 0;
};

std::string ValueLine(const Value& value) {
    std::string line = value.name.empty() ? "@" : Quote(EncodeUtf8(value.name).value_or(""));
    return line + '=' + ValueData(value);
}

} // namespace

std::optional<Document> Parse(std::string_view bytes, ParseError& error) {
    Encoding encoding = Encoding::Utf8;
    std::optional<std::string> text = DecodeHiveText(bytes, encoding, error);
    if (!text) {
        return std::nullopt;
    }
    std::optional<Document> document = Parser(*text, error).Run();
    if (document) {
        document->encoding = encoding;
    }
    return document;
}

std::optional<Document> ParseKeeping(std::string_view bytes, std::vector<ParseError>& ignored,
                                     std::size_t most) {
    ignored.clear();
    Encoding encoding = Encoding::Utf8;
    ParseError error;
    std::optional<std::string> text = DecodeHiveText(bytes, encoding, error);
    if (!text) {
        return std::nullopt;
    }
    std::vector<int> original; // the file's line number of each line left
    for (int line = 1, lines = static_cast<int>(std::count(text->begin(), text->end(), '\n')) + 1;
         line <= lines; ++line) {
        original.push_back(line);
    }
    while (true) {
        std::optional<Document> document = Parser(*text, error).Run();
        if (document) {
            document->encoding = encoding;
            return document;
        }
        auto index = static_cast<std::size_t>(error.line - 1);
        if (error.line < 1 || index >= original.size() || ignored.size() >= most) {
            return std::nullopt;
        }
        std::size_t start = 0;
        for (std::size_t line = 0; line < index; ++line) {
            start = text->find('\n', start) + 1;
        }
        std::size_t end = text->find('\n', start);
        text->erase(start, end == std::string::npos ? std::string::npos : end - start + 1);
        ignored.push_back({original[index], error.reason});
        original.erase(original.begin() + static_cast<std::ptrdiff_t>(index));
    }
}

std::string Serialize(const Document& document) {
    Writer out(document.lineEnd);
    out.Before(document.formatLine, document.leadingComments);
    std::string_view formatLine = document.formatLine.own;
    formatLine.empty() ? out.Line(kFormatLine) : out.Text(formatLine);
    for (const Key& key : document.keys) {
        if (!key.source.read) {
            out.Line(""); // a blank line before a new key
        }
        out.Before(key.source, key.comments);
        std::string_view header = key.source.own;
        header.empty() ? out.Line('[' + EncodeUtf8(key.path).value_or("") + ']') : out.Text(header);
        for (const Value& value : key.values) {
            out.Before(value.source, value.comments);
            value.source.own.empty() ? out.Line(ValueLine(value)) : out.Text(value.source.own);
        }
    }
    if (document.trailing.read) {
        out.Text(document.trailing.before);
    } else if (!document.trailingComments.empty()) {
        out.Line("");
        out.Comments(document.trailingComments);
    }
    return EncodeHiveText(out.Take(), document.encoding);
}

bool NamesEqual(std::u16string_view left, std::u16string_view right) {
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(),
                      [](char16_t a, char16_t b) { return FoldCase(a) == FoldCase(b); });
}

Key* FindKey(Document& document, std::u16string_view path) {
    auto found = std::find_if(document.keys.begin(), document.keys.end(),
                              [&](const Key& key) { return NamesEqual(key.path, path); });
    return found == document.keys.end() ? nullptr : &*found;
}

const Key* FindKey(const Document& document, std::u16string_view path) {
    return FindKey(const_cast<Document&>(document), path);
}

bool KeyExists(const Document& document, std::u16string_view path) {
    return std::any_of(document.keys.begin(), document.keys.end(), [&](const Key& key) {
        std::u16string_view candidate = key.path;
        if (candidate.size() > path.size() && candidate[path.size()] == u'\\') {
            candidate = candidate.substr(0, path.size());
        }
        return NamesEqual(candidate, path);
    });
}

Key& AddKey(Document& document, std::u16string_view path) {
    if (Key* key = FindKey(document, path)) {
        return *key;
    }
    document.keys.push_back(Key{std::u16string(path), {}, {}, {}});
    return document.keys.back();
}

Value* FindValue(Key& key, std::u16string_view name) {
    auto found = std::find_if(key.values.begin(), key.values.end(),
                              [&](const Value& value) { return NamesEqual(value.name, name); });
    return found == key.values.end() ? nullptr : &*found;
}

const Value* FindValue(const Key& key, std::u16string_view name) {
    return FindValue(const_cast<Key&>(key), name);
}

void SetValue(Key& key, std::u16string_view name, DWORD type, std::vector<BYTE> data) {
    Value* value = FindValue(key, name);
    if (value == nullptr) {
        key.values.push_back(Value{std::u16string(name), type, {}, {}, {}});
        value = &key.values.back();
    }
    if (value->type != type || value->data != data) {
        value->source.own.clear();
    }
    value->type = type;
    value->data = std::move(data);
}

bool IsStorableName(std::u16string_view name) {
    return name.find_first_of(u"\r\n") == std::u16string_view::npos &&
           name.find(u'\0') == std::u16string_view::npos && EncodeUtf8(name).has_value();
}

} // namespace platform::hive
