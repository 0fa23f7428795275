// Tokens of a resource script: names, numbers (decimal, 0x hexadecimal, with an
// optional minus sign), quoted UTF-8 strings with the escapes \\ \" \n \t, and
// the bar that joins style flags. A '#' starts a comment to the end of the line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rc {

enum class TokenKind { Name, Number, String, Bar, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;       // the name, or the string's UTF-8 content
    std::int64_t value = 0; // the number
    int line = 0;
};

// Splits `source` into tokens ending with one End token. On a malformed token
// returns false with `error` naming the line.
bool Tokenize(const std::string& source, std::vector<Token>& tokens, std::string& error);

} // namespace rc
