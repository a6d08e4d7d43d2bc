// Splits one file of effect text into tokens: identifiers, numbers (decimal, hexadecimal and
// octal integers, floats with an optional f/h suffix, parsed in the C locale), strings and
// punctuators. Comments and "\r" vanish; a backslash before a line end joins the lines.
#pragma once

#include <string_view>
#include <vector>

#include "Platform/D3DX9/Hlsl/Diagnostics.h"
#include "Platform/D3DX9/Hlsl/Token.h"

namespace Hlsl {

class Lexer {
public:
    Lexer(std::string_view text, std::uint32_t file, Diagnostics& diagnostics);
    Lexer(const Lexer&) = delete;
    Lexer& operator=(const Lexer&) = delete;

    // Every token of the text, ending with one End token. Errors (a stray character, an
    // unterminated comment or string) are reported and the offending bytes skipped.
    std::vector<Token> Run();

private:
    char Peek(std::size_t ahead = 0) const;
    void Advance();
    void SkipSpaceAndComments(bool& sawNewline, bool& sawSpace);
    Token Number();

    std::string_view text_;
    std::size_t pos_ = 0;
    std::uint32_t line_ = 1;
    std::uint32_t column_ = 1;
    std::uint32_t file_;
    Diagnostics& diagnostics_;
};

}  // namespace Hlsl
