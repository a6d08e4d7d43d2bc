#include "Platform/D3DX9/Hlsl/Preprocessor.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <string_view>

#include "Platform/D3DX9/Hlsl/Lexer.h"
#include "Platform/D3DX9/Hlsl/OperatorPrecedence.h"

namespace Hlsl {

namespace {

constexpr int kMaxIncludeDepth = 32;
constexpr int kMaxExpansionDepth = 200;
constexpr std::size_t kMaxTokens = 1u << 19;
// Each prefix operator, parenthesis and "?" of an #if expression costs a few stack frames; the
// same limit as the expression parser keeps a line of thousands of them from ending the process.
constexpr int kMaxConditionNesting = 200;
// 2^63: the first value a long long cannot hold.
constexpr double kConditionValueLimit = 9223372036854775808.0;

std::string Spell(const Token& t) {
    if (t.kind == TokenKind::String)
        return "\"" + t.text + "\"";
    return t.text;
}

// The tokens' spelling, a blank between two tokens where the source had white space.
std::string Join(const std::vector<Token>& tokens, std::size_t first) {
    std::string text;
    for (std::size_t i = first; i < tokens.size(); ++i) {
        if (i > first && tokens[i].spaceBefore)
            text += ' ';
        text += Spell(tokens[i]);
    }
    return text;
}

// The value of a number in #if: an integer exactly as written (the token's double loses digits
// past 2^53), a float truncated. False for a value a long long cannot hold: casting it would be
// undefined, and C refuses such a constant too.
bool ConditionValue(const Token& t, long long& value) {
    if (t.kind == TokenKind::Float) {
        if (!(t.number < kConditionValueLimit))
            return false;
        value = static_cast<long long>(t.number);
        return true;
    }
    std::string_view digits = t.text;
    while (!digits.empty() && std::strchr("uUlL", digits.back()) != nullptr)
        digits.remove_suffix(1);
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    } else if (digits.size() > 1 && digits[0] == '0') {
        base = 8;
    }
    unsigned long long parsed = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), parsed, base);
    if (result.ec != std::errc() ||
        parsed > static_cast<unsigned long long>(std::numeric_limits<long long>::max()))
        return false;
    value = static_cast<long long>(parsed);
    return true;
}

// A small integer expression evaluator for #if, over already expanded tokens.
class ConditionParser {
public:
    ConditionParser(const std::vector<Token>& tokens, Diagnostics& diagnostics)
        : tokens_(tokens), diagnostics_(diagnostics) {}

    long long Run() {
        long long v = Ternary();
        if (!failed_ && pos_ < tokens_.size())
            Fail(tokens_[pos_]);
        return failed_ ? 0 : v;
    }

private:
    const Token* Peek() const { return pos_ < tokens_.size() ? &tokens_[pos_] : nullptr; }
    bool Accept(const char* p) {
        const Token* t = Peek();
        if (t != nullptr && t->IsPunct(p)) {
            ++pos_;
            return true;
        }
        return false;
    }
    void Fail(const Token& t) {
        if (failed_)
            return;
        failed_ = true;
        diagnostics_.Error(t.location, 1000,
                           "syntax error in #if expression near '" + Spell(t) + "'");
    }
    // Counts one level of nesting for its scope; past the limit the expression is refused.
    class Nesting {
    public:
        Nesting(ConditionParser& parser, const Token& at) : parser_(parser) {
            if (++parser_.depth_ > kMaxConditionNesting && !parser_.failed_) {
                parser_.failed_ = true;
                parser_.diagnostics_.Error(at.location, 1000, "#if expression nested too deeply");
            }
        }
        ~Nesting() { --parser_.depth_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        ConditionParser& parser_;
    };

    long long Ternary() {
        long long c = Binary(0);
        if (Accept("?")) {
            Nesting nesting(*this, tokens_[pos_ - 1]);
            if (failed_)
                return 0;
            long long a = Ternary();
            if (!Accept(":")) {
                if (Peek() != nullptr)
                    Fail(*Peek());
                else
                    failed_ = true;
                return 0;
            }
            long long b = Ternary();
            return c ? a : b;
        }
        return c;
    }
    long long Binary(int minLevel) {
        long long lhs = Unary();
        while (!failed_) {
            const Token* t = Peek();
            if (t == nullptr || t->kind != TokenKind::Punct)
                break;
            int level = BinaryPrecedence(t->text);
            if (level == 0 || level <= minLevel)
                break;
            std::string op = t->text;
            Token opToken = *t;
            ++pos_;
            long long rhs = Binary(level);
            if (op == "||")
                lhs = lhs || rhs;
            else if (op == "&&")
                lhs = lhs && rhs;
            else if (op == "|")
                lhs |= rhs;
            else if (op == "^")
                lhs ^= rhs;
            else if (op == "&")
                lhs &= rhs;
            else if (op == "==")
                lhs = lhs == rhs;
            else if (op == "!=")
                lhs = lhs != rhs;
            else if (op == "<")
                lhs = lhs < rhs;
            else if (op == ">")
                lhs = lhs > rhs;
            else if (op == "<=")
                lhs = lhs <= rhs;
            else if (op == ">=")
                lhs = lhs >= rhs;
            else if (op == "<<")
                lhs = (rhs >= 0 && rhs < 63)
                          ? static_cast<long long>(static_cast<unsigned long long>(lhs) << rhs)
                          : 0;
            else if (op == ">>")
                lhs = (rhs >= 0 && rhs < 63) ? lhs >> rhs : 0;
            else if (op == "+")
                lhs = static_cast<long long>(static_cast<unsigned long long>(lhs) +
                                             static_cast<unsigned long long>(rhs));
            else if (op == "-")
                lhs = static_cast<long long>(static_cast<unsigned long long>(lhs) -
                                             static_cast<unsigned long long>(rhs));
            else if (op == "*")
                lhs = static_cast<long long>(static_cast<unsigned long long>(lhs) *
                                             static_cast<unsigned long long>(rhs));
            else if (op == "/" || op == "%") {
                if (rhs == 0 || (rhs == -1 && lhs == (-9223372036854775807LL - 1))) {
                    diagnostics_.Error(opToken.location, 1000,
                                       "division by zero in #if expression");
                    failed_ = true;
                    return 0;
                }
                lhs = op == "/" ? lhs / rhs : lhs % rhs;
            }
        }
        return lhs;
    }
    long long Unary() {
        const Token* t = Peek();
        if (t == nullptr) {
            if (!failed_) {
                failed_ = true;
                Token end;
                end.location = tokens_.empty() ? SourceLocation{} : tokens_.back().location;
                diagnostics_.Error(end.location, 1000, "missing value in #if expression");
            }
            return 0;
        }
        if (t->kind == TokenKind::Integer || t->kind == TokenKind::Float) {
            ++pos_;
            long long value = 0;
            if (!ConditionValue(*t, value)) {
                failed_ = true;
                diagnostics_.Error(t->location, 1000,
                                   "number out of range in #if expression: '" + t->text + "'");
                return 0;
            }
            return value;
        }
        if (t->kind == TokenKind::Identifier) {
            ++pos_;
            return t->text == "true" ? 1 : 0;  // an unknown name counts as 0
        }
        Nesting nesting(*this, *t);
        if (failed_)
            return 0;
        if (Accept("!"))
            return !Unary();
        if (Accept("~"))
            return ~Unary();
        if (Accept("-"))
            return static_cast<long long>(0ULL - static_cast<unsigned long long>(Unary()));
        if (Accept("+"))
            return Unary();
        if (Accept("(")) {
            long long v = Ternary();
            if (!Accept(")")) {
                if (Peek() != nullptr)
                    Fail(*Peek());
                else
                    failed_ = true;
            }
            return v;
        }
        Fail(*t);
        return 0;
    }

    const std::vector<Token>& tokens_;
    Diagnostics& diagnostics_;
    std::size_t pos_ = 0;
    int depth_ = 0;
    bool failed_ = false;
};

}  // namespace

Preprocessor::Preprocessor(Diagnostics& diagnostics, IIncludeHandler* includes)
    : diagnostics_(diagnostics), includes_(includes) {}

void Preprocessor::Define(const MacroDefinition& macro) {
    Diagnostics scratch;
    Lexer lexer(macro.value, 0, scratch);
    Macro m;
    m.body = lexer.Run();
    m.body.pop_back();
    macros_[macro.name] = std::move(m);
}

bool Preprocessor::Active() const {
    return conditions_.empty() || conditions_.back().active;
}

std::vector<Token> Preprocessor::Run(const std::string& fileName, const std::string& text) {
    output_.clear();
    ProcessFile(fileName, text, nullptr, 0);
    while (!conditions_.empty()) {
        diagnostics_.Error(conditions_.back().at, 1000, "unexpected end of file: missing #endif");
        conditions_.pop_back();
    }
    Token end;
    end.kind = TokenKind::End;
    end.location = output_.empty() ? SourceLocation{0, 1, 1} : output_.back().location;
    output_.push_back(end);
    return std::move(output_);
}

void Preprocessor::ProcessFile(const std::string& name, const std::string& text, const void* buffer,
                               int depth) {
    std::uint32_t file = diagnostics_.AddFile(name);
    Lexer lexer(text, file, diagnostics_);
    TokenList tokens = lexer.Run();
    std::size_t conditionDepth = conditions_.size();
    TokenList pending;
    auto flush = [&] {
        if (pending.empty())
            return;
        std::set<std::string> disabled;
        Expand(pending, output_, disabled);
        pending.clear();
    };
    std::size_t i = 0;
    while (tokens[i].kind != TokenKind::End) {
        if (tokens[i].atLineStart && tokens[i].IsPunct("#")) {
            TokenList line;
            std::size_t j = i + 1;
            while (tokens[j].kind != TokenKind::End && !tokens[j].atLineStart)
                line.push_back(tokens[j++]);
            flush();
            if (line.empty()) {
                i = j;
                continue;  // a lone "#" is a null directive
            }
            Directive(line, buffer != nullptr ? buffer : text.data(), depth);
            i = j;
            continue;
        }
        if (Active())
            pending.push_back(tokens[i]);
        ++i;
    }
    flush();
    while (conditions_.size() > conditionDepth) {
        diagnostics_.Error(conditions_.back().at, 1000, "unexpected end of file: missing #endif");
        conditions_.pop_back();
    }
}

void Preprocessor::Directive(const TokenList& line, const void* buffer, int depth) {
    const Token& d = line[0];
    const std::string& name = d.text;
    if (name == "if" || name == "ifdef" || name == "ifndef") {
        Conditional c{Active(), false, false, false, d.location};
        if (c.parentActive) {
            bool value;
            if (name == "if") {
                value = EvaluateCondition(line) != 0;
            } else if (line.size() < 2 || line[1].kind != TokenKind::Identifier) {
                diagnostics_.Error(d.location, 1000, "#" + name + " needs a macro name");
                value = false;
            } else {
                value = (macros_.count(line[1].text) != 0) == (name == "ifdef");
            }
            c.active = value;
            c.taken = value;
        }
        conditions_.push_back(c);
        return;
    }
    if (name == "elif" || name == "else" || name == "endif") {
        if (conditions_.empty()) {
            diagnostics_.Error(d.location, 1000, "#" + name + " without #if");
            return;
        }
        Conditional& c = conditions_.back();
        if (name == "endif") {
            conditions_.pop_back();
            return;
        }
        if (c.sawElse) {
            diagnostics_.Error(d.location, 1000, "#" + name + " after #else");
            return;
        }
        if (name == "else") {
            c.sawElse = true;
            c.active = c.parentActive && !c.taken;
            c.taken = c.taken || c.active;
        } else {
            bool value = c.parentActive && !c.taken && EvaluateCondition(line) != 0;
            c.active = value;
            c.taken = c.taken || value;
        }
        return;
    }
    if (!Active())
        return;
    if (name == "include") {
        DoInclude(line, buffer, depth);
    } else if (name == "define") {
        DoDefine(line);
    } else if (name == "undef") {
        if (line.size() >= 2)
            macros_.erase(line[1].text);
    } else if (name == "error") {
        diagnostics_.Error(d.location, 1003, "#error: " + Join(line, 1));
    } else if (name == "pragma" || name == "line") {
        // Pragmas (pack_matrix, warning, once) change nothing here: matrices are stored by
        // element whatever their packing, and includes are cheap to read twice.
    } else {
        diagnostics_.Error(d.location, 1000, "unknown preprocessor directive '#" + name + "'");
    }
}

void Preprocessor::DoInclude(const TokenList& line, const void* buffer, int depth) {
    const Token& d = line[0];
    std::string file;
    IncludeType type = IncludeType::Local;
    if (line.size() >= 2 && line[1].kind == TokenKind::String) {
        file = line[1].text;
    } else if (line.size() >= 3 && line[1].IsPunct("<")) {
        type = IncludeType::System;
        std::size_t i = 2;
        for (; i < line.size() && !line[i].IsPunct(">"); ++i) file += line[i].text;
        if (i == line.size())
            file.clear();
    }
    if (file.empty()) {
        diagnostics_.Error(d.location, 1000, "#include expects \"file\" or <file>");
        return;
    }
    if (depth >= kMaxIncludeDepth) {
        diagnostics_.Error(d.location, 1000, "#include nested too deeply: '" + file + "'");
        return;
    }
    const void* data = nullptr;
    std::uint32_t bytes = 0;
    if (includes_ == nullptr || !includes_->Open(type, file, buffer, &data, &bytes) ||
        (data == nullptr && bytes != 0)) {
        diagnostics_.Error(d.location, 1507, "failed to open source file: '" + file + "'");
        return;
    }
    std::string content(static_cast<const char*>(data), bytes);
    included_.push_back({file, content});
    ProcessFile(file, content, data, depth + 1);
    includes_->Close(data);
}

void Preprocessor::DoDefine(const TokenList& line) {
    if (line.size() < 2 || line[1].kind != TokenKind::Identifier) {
        diagnostics_.Error(line[0].location, 1000, "#define needs a macro name");
        return;
    }
    Macro m;
    std::size_t i = 2;
    // A parenthesis right after the name (no space) makes a function-like macro.
    if (i < line.size() && line[i].IsPunct("(") && !line[i].spaceBefore) {
        m.functionLike = true;
        ++i;
        while (i < line.size() && !line[i].IsPunct(")")) {
            if (line[i].kind == TokenKind::Identifier)
                m.params.push_back(line[i].text);
            else if (!line[i].IsPunct(",")) {
                diagnostics_.Error(line[i].location, 1000, "bad macro parameter list");
                return;
            }
            ++i;
        }
        if (i == line.size()) {
            diagnostics_.Error(line[0].location, 1000, "unterminated macro parameter list");
            return;
        }
        ++i;
    }
    m.body.assign(line.begin() + static_cast<std::ptrdiff_t>(i), line.end());
    macros_[line[1].text] = std::move(m);
}

long long Preprocessor::EvaluateCondition(const TokenList& line) {
    TokenList raw;
    for (std::size_t i = 1; i < line.size(); ++i) {
        if (line[i].kind == TokenKind::Identifier && line[i].text == "defined") {
            std::size_t j = i + 1;
            bool paren = j < line.size() && line[j].IsPunct("(");
            if (paren)
                ++j;
            if (j >= line.size() || line[j].kind != TokenKind::Identifier) {
                diagnostics_.Error(line[i].location, 1000, "defined needs a macro name");
                return 0;
            }
            Token v = line[i];
            v.kind = TokenKind::Integer;
            v.number = macros_.count(line[j].text) != 0 ? 1.0 : 0.0;
            v.text.assign(1, v.number != 0.0 ? '1' : '0');
            raw.push_back(v);
            if (paren) {
                ++j;
                if (j >= line.size() || !line[j].IsPunct(")")) {
                    diagnostics_.Error(line[i].location, 1000, "missing ')' after defined");
                    return 0;
                }
            }
            i = j;
            continue;
        }
        raw.push_back(line[i]);
    }
    TokenList expanded;
    std::set<std::string> disabled;
    Expand(raw, expanded, disabled);
    if (expanded.empty()) {
        diagnostics_.Error(line[0].location, 1000, "#if with no expression");
        return 0;
    }
    ConditionParser parser(expanded, diagnostics_);
    return parser.Run();
}

bool Preprocessor::CollectArguments(const TokenList& in, std::size_t& i,
                                    std::vector<TokenList>& args) {
    // in[i] is "(".
    int depthParen = 0;
    args.assign(1, TokenList());
    for (++i; i < in.size(); ++i) {
        const Token& t = in[i];
        if (t.IsPunct("("))
            ++depthParen;
        if (t.IsPunct(")")) {
            if (depthParen == 0) {
                ++i;
                return true;
            }
            --depthParen;
        }
        if (t.IsPunct(",") && depthParen == 0) {
            args.emplace_back();
            continue;
        }
        args.back().push_back(t);
    }
    return false;
}

Preprocessor::TokenList Preprocessor::Substitute(const Macro& macro,
                                                 const std::vector<TokenList>& args,
                                                 std::set<std::string>& disabled,
                                                 const SourceLocation& at) {
    auto paramIndex = [&](const Token& t) -> int {
        if (t.kind != TokenKind::Identifier)
            return -1;
        for (std::size_t p = 0; p < macro.params.size(); ++p)
            if (macro.params[p] == t.text)
                return static_cast<int>(p);
        return -1;
    };
    TokenList result;
    bool pasteNext = false;
    auto append = [&](TokenList piece) {
        if (pasteNext && !result.empty() && !piece.empty()) {
            std::string glued = result.back().text + piece.front().text;
            Diagnostics scratch;
            Lexer lexer(glued, at.file, scratch);
            TokenList one = lexer.Run();
            if (one.size() != 2 || scratch.HasErrors()) {
                diagnostics_.Error(at, 1000,
                                   "pasting does not give a valid token: '" + glued + "'");
            } else {
                result.back() = one[0];
                piece.erase(piece.begin());
            }
        }
        pasteNext = false;
        for (Token& t : piece) result.push_back(std::move(t));
    };
    const TokenList& body = macro.body;
    for (std::size_t k = 0; k < body.size(); ++k) {
        const Token& b = body[k];
        if (b.IsPunct("##")) {
            pasteNext = true;
            continue;
        }
        if (b.IsPunct("#") && macro.functionLike && k + 1 < body.size() &&
            paramIndex(body[k + 1]) >= 0) {
            Token s;
            s.kind = TokenKind::String;
            s.text = Join(args[static_cast<std::size_t>(paramIndex(body[k + 1]))], 0);
            append({s});
            ++k;
            continue;
        }
        int p = paramIndex(b);
        if (p >= 0 && macro.functionLike) {
            const TokenList& arg = args[static_cast<std::size_t>(p)];
            bool raw = pasteNext || (k + 1 < body.size() && body[k + 1].IsPunct("##"));
            if (raw) {
                append(arg);
            } else {
                TokenList expanded;
                Expand(arg, expanded, disabled);
                append(std::move(expanded));
            }
            continue;
        }
        append({b});
    }
    for (Token& t : result) {
        t.location = at;
        t.atLineStart = false;
    }
    return result;
}

void Preprocessor::Expand(const TokenList& in, TokenList& out, std::set<std::string>& disabled) {
    for (std::size_t i = 0; i < in.size() && !tooLarge_;) {
        if (out.size() > kMaxTokens) {
            // Macros that double at every level would fill memory long before they end.
            if (!tooLarge_)
                diagnostics_.Error(in[i].location, 1000, "preprocessed text is too large");
            tooLarge_ = true;
            return;
        }
        const Token& t = in[i];
        auto found = t.kind == TokenKind::Identifier ? macros_.find(t.text) : macros_.end();
        if (found == macros_.end() || disabled.count(t.text) != 0 ||
            disabled.size() > kMaxExpansionDepth) {
            out.push_back(t);
            ++i;
            continue;
        }
        const Macro& m = found->second;
        std::string name = t.text;
        SourceLocation at = t.location;
        TokenList body;
        if (m.functionLike) {
            std::size_t j = i + 1;
            if (j >= in.size() || !in[j].IsPunct("(")) {
                out.push_back(t);  // a function-like macro's name alone stays a name
                ++i;
                continue;
            }
            std::vector<TokenList> args;
            if (!CollectArguments(in, j, args)) {
                diagnostics_.Error(at, 1000,
                                   "unexpected end of file in macro '" + name + "' expansion");
                return;
            }
            if (m.params.empty() && args.size() == 1 && args[0].empty())
                args.clear();
            if (args.size() != m.params.size()) {
                diagnostics_.Error(at, 1000,
                                   "macro '" + name + "' expects " +
                                       std::to_string(m.params.size()) + " arguments");
                i = j;
                continue;
            }
            body = Substitute(m, args, disabled, at);
            i = j;
        } else {
            body = Substitute(m, {}, disabled, at);
            ++i;
        }
        disabled.insert(name);
        Expand(body, out, disabled);
        disabled.erase(name);
    }
}

}  // namespace Hlsl
