// The preprocessor: #include through an IIncludeHandler, object-like and function-like
// #define (with # and ##), #undef, #if/#ifdef/#ifndef/#elif/#else/#endif with defined(),
// #error, #pragma (ignored) and #line. Produces the token stream that the parser reads, each
// token keeping the file, line and column it came from (a macro's tokens take the place of its
// use). Also records every included file, for the source hash of compiled effects.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Platform/D3DX9/Hlsl/Diagnostics.h"
#include "Platform/D3DX9/Hlsl/IncludeHandler.h"
#include "Platform/D3DX9/Hlsl/Token.h"

namespace Hlsl {

// A macro given by the caller (D3DXMACRO): name and replacement text.
struct MacroDefinition {
    std::string name;
    std::string value;
};

// An included file as it was read: the name as written and the bytes.
struct IncludedFile {
    std::string name;
    std::string content;
};

class Preprocessor {
public:
    Preprocessor(Diagnostics& diagnostics, IIncludeHandler* includes);
    Preprocessor(const Preprocessor&) = delete;
    Preprocessor& operator=(const Preprocessor&) = delete;

    void Define(const MacroDefinition& macro);
    // Preprocesses the main file; the answer ends with one End token. Errors go to diagnostics.
    std::vector<Token> Run(const std::string& fileName, const std::string& text);

    const std::vector<IncludedFile>& Includes() const { return included_; }

private:
    struct Macro {
        bool functionLike = false;
        std::vector<std::string> params;
        std::vector<Token> body;
    };
    using TokenList = std::vector<Token>;

    void ProcessFile(const std::string& name, const std::string& text, const void* buffer,
                     int depth);
    void Directive(const TokenList& line, const void* buffer, int depth);
    void DoInclude(const TokenList& line, const void* buffer, int depth);
    void DoDefine(const TokenList& line);
    bool Active() const;
    long long EvaluateCondition(const TokenList& line);
    // Expands macros in tokens; the disabled set holds the macros being expanded.
    void Expand(const TokenList& in, TokenList& out, std::set<std::string>& disabled);
    bool CollectArguments(const TokenList& in, std::size_t& i, std::vector<TokenList>& args);
    TokenList Substitute(const Macro& macro, const std::vector<TokenList>& args,
                         std::set<std::string>& disabled, const SourceLocation& at);

    struct Conditional {
        bool parentActive;
        bool taken;   // some branch of this #if was taken
        bool active;  // the current branch is live
        bool sawElse;
        SourceLocation at;
    };

    Diagnostics& diagnostics_;
    IIncludeHandler* includes_;
    std::map<std::string, Macro> macros_;
    std::vector<Conditional> conditions_;
    std::vector<IncludedFile> included_;
    TokenList output_;
    bool tooLarge_ = false;
};

}  // namespace Hlsl
