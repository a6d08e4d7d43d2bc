// Parses preprocessed effect text and checks its types in the same pass (the language wants
// every name declared before use): global parameters with their initialisers, semantics and
// annotations; structs; textures and samplers with sampler_state blocks; functions; techniques
// and passes with their state assignments. Builds the effect description's parameters and
// techniques and, for every "compile profile Function(arguments)", a program request that the
// code generator turns into a program. Errors and warnings go to the diagnostics.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/D3DX9/Hlsl/Ast.h"
#include "Platform/D3DX9/Hlsl/Diagnostics.h"
#include "Platform/D3DX9/Hlsl/EffectDescription.h"
#include "Platform/D3DX9/Hlsl/Program.h"
#include "Platform/D3DX9/Hlsl/Token.h"

namespace Hlsl {

struct ProgramRequest {
    ProgramKind kind = ProgramKind::Vertex;
    std::string profile;
    Function* function = nullptr;
    std::vector<std::vector<double>> arguments;  // values of the uniform parameters, in order
    SourceLocation location;
};

class Parser {
public:
    Parser(std::vector<Token> tokens, Diagnostics& diagnostics);
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    void Run();

    EffectDescription& Description() { return description_; }
    const std::vector<ProgramRequest>& Requests() const { return requests_; }

    // Evaluates an expression made of literals, constructors, conversions and static constants;
    // false when it is not constant. One value per component.
    static bool EvaluateConstant(const Expr* e, std::vector<double>& out);

private:
    struct Symbol {
        Variable* var = nullptr;
        StructDef* structDef = nullptr;
        std::vector<Function*> functions;
    };
    struct Modifiers {
        bool isStatic = false, isUniform = false, isConst = false;
        bool in = false, out = false;
        bool rowMajor = false;
    };

    // Tokens.
    const Token& Peek(std::size_t ahead = 0) const;
    const Token& Next();
    bool Accept(const char* spelling);
    bool Expect(const char* spelling);
    std::string ExpectIdentifier();
    void SyntaxError(const Token& at);

    // Scopes.
    void PushScope();
    void PopScope();
    Symbol* Lookup(const std::string& name);
    bool Declare(const std::string& name, Variable* var, const SourceLocation& at);

    // Types.
    bool IsTypeStart(std::size_t ahead = 0) const;
    bool ParseType(Type& out);
    bool ParseArraySuffix(Type& t);
    Modifiers ParseModifiers();
    void ParseSemantic(std::string& semantic);

    // Declarations.
    void TopLevel();
    void StructDefinition(StructDef*& out);
    void GlobalDeclarators(const Type& type, std::string name, const Modifiers& mods,
                           SourceLocation at);
    void FunctionDefinition(const Type& returnType, const std::string& name, SourceLocation at);
    void Annotations(std::vector<Annotation>& out);
    void SamplerStateBlock(std::vector<StateAssignment>& out);
    void TechniqueDefinition();
    void PassDefinition(Pass& pass);
    bool StateValueExpression(const StateInfo& state, StateAssignment& out, bool inSampler);
    bool ParameterReference(StateAssignment& out);
    bool ProgramValue(const StateInfo& state, StateAssignment& out);
    void AddParameter(Variable* var, std::vector<Annotation> annotations,
                      std::vector<StateAssignment> samplerStates);
    void FillParameter(Parameter& p, const Type& t, std::uint32_t offset);
    bool ConstantWords(const Expr* init, const Type& t, std::vector<std::uint32_t>& words);

    // Statements.
    StmtPtr Statement();
    StmtPtr Block();
    StmtPtr LocalDeclaration();

    // Expressions.
    ExprPtr Expression();
    ExprPtr Assignment();
    ExprPtr Conditional();
    ExprPtr BinaryLevel(int level);
    ExprPtr UnaryExpr();
    ExprPtr Postfix(ExprPtr e);
    ExprPtr Primary();
    ExprPtr InitializerList(const Type& target);
    ExprPtr CallOrConstruct(const Token& name);
    ExprPtr ConstructorCall(const Type& t, const SourceLocation& at);
    ExprPtr IntrinsicCall(const std::string& name, std::vector<ExprPtr> args,
                          const SourceLocation& at);
    ExprPtr UserCall(const std::vector<Function*>& candidates, std::vector<ExprPtr> args,
                     const SourceLocation& at);
    std::vector<ExprPtr> Arguments();

    // Typing.
    ExprPtr Convert(ExprPtr e, const Type& to, bool explicitCast);
    bool CanConvert(const Type& from, const Type& to, bool explicitCast, bool& truncates) const;
    bool CommonType(const Type& a, const Type& b, Type& out, const SourceLocation& at);
    ExprPtr MakeBinary(const std::string& op, ExprPtr a, ExprPtr b, const SourceLocation& at);
    bool CheckLValue(const Expr* e);
    ExprPtr Swizzle(ExprPtr base, const std::string& text, const SourceLocation& at);

    // Bounds the recursion of expressions and statements on hostile input.
    class NestingGuard {
    public:
        NestingGuard(Parser& parser, const SourceLocation& at);
        ~NestingGuard();
        NestingGuard(const NestingGuard&) = delete;
        NestingGuard& operator=(const NestingGuard&) = delete;

    private:
        Parser& parser_;
    };

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    int depth_ = 0;
    bool aborted_ = false;
    Token end_;
    Diagnostics& diagnostics_;

    std::vector<std::map<std::string, Symbol>> scopes_;
    std::vector<std::unique_ptr<Variable>> variables_;
    std::vector<std::unique_ptr<Function>> functions_;
    std::vector<std::unique_ptr<StructDef>> structs_;
    Function* currentFunction_ = nullptr;

    EffectDescription description_;
    std::vector<ProgramRequest> requests_;
};

}  // namespace Hlsl
