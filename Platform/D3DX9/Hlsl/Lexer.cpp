#include "Platform/D3DX9/Hlsl/Lexer.h"

#include <cctype>
#include <charconv>
#include <cstring>

namespace Hlsl {

namespace {

bool IsIdentStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsIdentChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Longest first, so that "<<=" wins over "<<" and "<".
const char* const kPuncts[] = {
    "<<=", ">>=", "##", "<<", ">>", "<=", ">=", "==", "!=", "&&", "||", "++",
    "--",  "+=",  "-=", "*=", "/=", "%=", "&=", "|=", "^=", "::", "(",  ")",
    "{",   "}",   "[",  "]",  ";",  ",",  ":",  ".",  "?",  "+",  "-",  "*",
    "/",   "%",   "&",  "|",  "^",  "~",  "!",  "<",  ">",  "=",  "#"};

}  // namespace

Lexer::Lexer(std::string_view text, std::uint32_t file, Diagnostics& diagnostics)
    : text_(text), file_(file), diagnostics_(diagnostics) {}

char Lexer::Peek(std::size_t ahead) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
}

void Lexer::Advance() {
    if (pos_ >= text_.size())
        return;
    if (text_[pos_] == '\n') {
        ++line_;
        column_ = 1;
    } else {
        ++column_;
    }
    ++pos_;
}

void Lexer::SkipSpaceAndComments(bool& sawNewline, bool& sawSpace) {
    while (pos_ < text_.size()) {
        char c = Peek();
        if (c == '\n') {
            sawNewline = true;
            sawSpace = true;
            Advance();
        } else if (c == '\\' && (Peek(1) == '\n' || (Peek(1) == '\r' && Peek(2) == '\n'))) {
            Advance();
            if (Peek() == '\r')
                Advance();
            Advance();
            sawSpace = true;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            sawSpace = true;
            Advance();
        } else if (c == '/' && Peek(1) == '/') {
            while (pos_ < text_.size() && Peek() != '\n') Advance();
            sawSpace = true;
        } else if (c == '/' && Peek(1) == '*') {
            SourceLocation start{file_, line_, column_};
            Advance();
            Advance();
            bool closed = false;
            while (pos_ < text_.size()) {
                if (Peek() == '*' && Peek(1) == '/') {
                    Advance();
                    Advance();
                    closed = true;
                    break;
                }
                if (Peek() == '\n')
                    sawNewline = true;
                Advance();
            }
            if (!closed)
                diagnostics_.Error(start, 1004, "unexpected end of file in comment");
            sawSpace = true;
        } else {
            return;
        }
    }
}

Token Lexer::Number() {
    Token t;
    t.location = {file_, line_, column_};
    std::size_t start = pos_;
    bool isFloat = false;
    if (Peek() == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
        Advance();
        Advance();
        while (std::isxdigit(static_cast<unsigned char>(Peek()))) Advance();
        std::string_view digits = text_.substr(start + 2, pos_ - start - 2);
        unsigned long long v = 0;
        auto res = std::from_chars(digits.data(), digits.data() + digits.size(), v, 16);
        if (digits.empty() || res.ec != std::errc())
            diagnostics_.Error(t.location, 1000, "invalid hexadecimal number");
        t.number = static_cast<double>(v);
    } else {
        while (std::isdigit(static_cast<unsigned char>(Peek()))) Advance();
        if (Peek() == '.') {
            isFloat = true;
            Advance();
            while (std::isdigit(static_cast<unsigned char>(Peek()))) Advance();
        }
        if ((Peek() == 'e' || Peek() == 'E') &&
            (std::isdigit(static_cast<unsigned char>(Peek(1))) ||
             ((Peek(1) == '+' || Peek(1) == '-') &&
              std::isdigit(static_cast<unsigned char>(Peek(2)))))) {
            isFloat = true;
            Advance();
            if (Peek() == '+' || Peek() == '-')
                Advance();
            while (std::isdigit(static_cast<unsigned char>(Peek()))) Advance();
        }
        std::string_view digits = text_.substr(start, pos_ - start);
        if (isFloat) {
            double v = 0.0;
            std::from_chars(digits.data(), digits.data() + digits.size(), v);
            t.number = v;
        } else {
            unsigned long long v = 0;
            int base = (digits.size() > 1 && digits[0] == '0') ? 8 : 10;
            auto res = std::from_chars(digits.data(), digits.data() + digits.size(), v, base);
            if (res.ec != std::errc() || res.ptr != digits.data() + digits.size())
                diagnostics_.Error(t.location, 1000,
                                   "invalid number '" + std::string(digits) + "'");
            t.number = static_cast<double>(v);
        }
    }
    // Suffixes: f, h and l mark a float; u marks an unsigned integer.
    char s = Peek();
    if (s == 'f' || s == 'F' || s == 'h' || s == 'H') {
        isFloat = true;
        Advance();
    } else if (s == 'u' || s == 'U' || s == 'l' || s == 'L') {
        Advance();
    }
    if (IsIdentChar(Peek())) {
        diagnostics_.Error(t.location, 1000, "invalid suffix on number");
        while (IsIdentChar(Peek())) Advance();
    }
    t.kind = isFloat ? TokenKind::Float : TokenKind::Integer;
    t.text = std::string(text_.substr(start, pos_ - start));
    return t;
}

std::vector<Token> Lexer::Run() {
    std::vector<Token> out;
    bool lineStart = true;
    while (true) {
        bool newline = false, space = false;
        SkipSpaceAndComments(newline, space);
        if (newline)
            lineStart = true;
        if (pos_ >= text_.size())
            break;
        Token t;
        char c = Peek();
        SourceLocation at{file_, line_, column_};
        if (IsIdentStart(c)) {
            std::size_t start = pos_;
            while (IsIdentChar(Peek())) Advance();
            t.kind = TokenKind::Identifier;
            t.text = std::string(text_.substr(start, pos_ - start));
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '.' && std::isdigit(static_cast<unsigned char>(Peek(1))))) {
            t = Number();
        } else if (c == '"') {
            Advance();
            std::string s;
            bool closed = false;
            while (pos_ < text_.size() && Peek() != '\n') {
                if (Peek() == '"') {
                    closed = true;
                    Advance();
                    break;
                }
                if (Peek() == '\\' && pos_ + 1 < text_.size()) {
                    Advance();
                    char e = Peek();
                    s += e == 'n' ? '\n' : e == 't' ? '\t' : e;
                    Advance();
                    continue;
                }
                s += Peek();
                Advance();
            }
            if (!closed)
                diagnostics_.Error(at, 1004, "newline in string constant");
            t.kind = TokenKind::String;
            t.text = std::move(s);
        } else {
            const char* match = nullptr;
            for (const char* p : kPuncts) {
                std::size_t n = std::strlen(p);
                if (text_.compare(pos_, n, p) == 0) {
                    match = p;
                    break;
                }
            }
            if (match == nullptr) {
                diagnostics_.Error(at, 1000, std::string("unexpected character '") + c + "'");
                Advance();
                continue;
            }
            for (std::size_t i = 0; match[i] != '\0'; ++i) Advance();
            t.kind = TokenKind::Punct;
            t.text = match;
        }
        t.location = at;
        t.atLineStart = lineStart;
        t.spaceBefore = space;
        lineStart = false;
        out.push_back(std::move(t));
    }
    Token end;
    end.kind = TokenKind::End;
    end.atLineStart = true;
    end.location = {file_, line_, column_};
    out.push_back(end);
    return out;
}

}  // namespace Hlsl
