#include "script_lexer.h"

#include <cctype>

namespace rc {
namespace {

struct Cursor {
    const std::string& source;
    std::size_t at = 0;
    int line = 1;

    bool Done() const { return at >= source.size(); }
    char Peek(std::size_t ahead = 0) const {
        return at + ahead < source.size() ? source[at + ahead] : '\0';
    }
};

std::string Where(int line) {
    return "line " + std::to_string(line) + ": ";
}

bool IsNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

void SkipBlanksAndComments(Cursor& cursor) {
    while (!cursor.Done()) {
        char c = cursor.Peek();
        if (c == '\n') {
            ++cursor.line;
            ++cursor.at;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++cursor.at;
        } else if (c == '#') {
            while (!cursor.Done() && cursor.Peek() != '\n') {
                ++cursor.at;
            }
        } else {
            return;
        }
    }
}

bool ReadString(Cursor& cursor, Token& token, std::string& error) {
    ++cursor.at; // opening quote
    while (true) {
        if (cursor.Done() || cursor.Peek() == '\n') {
            error = Where(token.line) + "string without its closing quote";
            return false;
        }
        char c = cursor.source[cursor.at++];
        if (c == '"') {
            return true;
        }
        if (c != '\\') {
            token.text += c;
            continue;
        }
        char escaped = cursor.Done() ? '\0' : cursor.source[cursor.at++];
        switch (escaped) {
        case '\\':
            token.text += '\\';
            break;
        case '"':
            token.text += '"';
            break;
        case 'n':
            token.text += '\n';
            break;
        case 't':
            token.text += '\t';
            break;
        default:
            error = Where(token.line) + "unknown escape in string";
            return false;
        }
    }
}

bool ReadNumber(Cursor& cursor, Token& token, std::string& error) {
    bool negative = cursor.Peek() == '-';
    if (negative) {
        ++cursor.at;
    }
    int base = 10;
    if (cursor.Peek() == '0' && (cursor.Peek(1) == 'x' || cursor.Peek(1) == 'X')) {
        base = 16;
        cursor.at += 2;
    }
    std::size_t start = cursor.at;
    std::int64_t value = 0;
    while (std::isxdigit(static_cast<unsigned char>(cursor.Peek()))) {
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(cursor.Peek())));
        int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : c - 'a' + 10;
        if (digit >= base || value > 0xFFFFFFFFLL) {
            break;
        }
        value = value * base + digit;
        ++cursor.at;
    }
    if (cursor.at == start || IsNameChar(cursor.Peek()) || value > 0xFFFFFFFFLL) {
        error = Where(token.line) + "malformed number";
        return false;
    }
    token.kind = TokenKind::Number;
    token.value = negative ? -value : value;
    return true;
}

} // namespace

bool Tokenize(const std::string& source, std::vector<Token>& tokens, std::string& error) {
    Cursor cursor{source};
    while (true) {
        SkipBlanksAndComments(cursor);
        Token token;
        token.line = cursor.line;
        if (cursor.Done()) {
            tokens.push_back(token);
            return true;
        }
        char c = cursor.Peek();
        if (c == '"') {
            token.kind = TokenKind::String;
            if (!ReadString(cursor, token, error)) {
                return false;
            }
        } else if (c == '|') {
            token.kind = TokenKind::Bar;
            ++cursor.at;
        } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '-') {
            if (!ReadNumber(cursor, token, error)) {
                return false;
            }
        } else if (IsNameStart(c)) {
            token.kind = TokenKind::Name;
            while (IsNameChar(cursor.Peek())) {
                token.text += cursor.source[cursor.at++];
            }
        } else {
            error = Where(cursor.line) + "unexpected character '" + std::string(1, c) + "'";
            return false;
        }
        tokens.push_back(std::move(token));
    }
}

} // namespace rc
