// One token of effect text, as the lexer and the preprocessor pass it on.
#pragma once

#include <cstdint>
#include <string>

#include "Platform/D3DX9/Hlsl/Diagnostics.h"

namespace Hlsl {

enum class TokenKind : std::uint8_t { Identifier, Integer, Float, String, Punct, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;          // spelling; for strings the contents without quotes
    double number = 0.0;       // value of Integer and Float tokens
    bool atLineStart = false;  // first token of a source line (preprocessor directives)
    bool spaceBefore = false;  // white space precedes it (for stringising)
    SourceLocation location;

    bool Is(const char* spelling) const {
        return (kind == TokenKind::Punct || kind == TokenKind::Identifier) && text == spelling;
    }
    bool IsPunct(const char* spelling) const {
        return kind == TokenKind::Punct && text == spelling;
    }
};

}  // namespace Hlsl
