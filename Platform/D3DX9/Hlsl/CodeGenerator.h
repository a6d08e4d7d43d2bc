// Turns one "compile profile Function(arguments)" into a Program: inlines every call, spreads
// vector and matrix work over scalar registers, runs both sides of a branch under lane masks,
// unrolls for loops whose count is constant, binds the entry's inputs and outputs to their
// semantics and assigns sampler numbers in the order the program first reads each sampler.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Platform/D3DX9/Hlsl/Ast.h"
#include "Platform/D3DX9/Hlsl/Diagnostics.h"
#include "Platform/D3DX9/Hlsl/EffectDescription.h"
#include "Platform/D3DX9/Hlsl/Parser.h"
#include "Platform/D3DX9/Hlsl/Program.h"

namespace Hlsl {

class CodeGenerator {
public:
    explicit CodeGenerator(Diagnostics& diagnostics);
    CodeGenerator(const CodeGenerator&) = delete;
    CodeGenerator& operator=(const CodeGenerator&) = delete;

    // Null after reporting an error.
    std::shared_ptr<Program> Generate(const ProgramRequest& request);

private:
    using Regs = std::vector<std::uint32_t>;

    // A place a value lives: registers, or parameter components in the value store, with at
    // most one index computed at run time.
    struct Ref {
        bool uniform = false;
        bool writable = false;
        const Variable* var = nullptr;     // root variable (uniform roots)
        Regs root;                         // register roots: every component of the root
        std::vector<std::uint32_t> comps;  // component offsets within the root
        bool dynamic = false;
        std::uint32_t indexReg = 0, stride = 0, count = 0;
    };
    struct Frame {
        Regs ret;
        std::uint32_t returned = 0;  // mask register of lanes that returned (when tracked)
        bool tracksReturn = false;
        bool done = false;
    };
    struct Leaf {
        Usage usage;
        unsigned index;
        Regs regs;
    };

    // Registers.
    std::uint32_t Temp();
    Regs Temps(std::uint32_t n);
    std::uint32_t Literal(float v);
    bool IsLiteral(std::uint32_t reg, float& v) const;
    std::uint32_t UniformReg(std::uint32_t word, BaseType base);
    std::uint32_t Emit(Op op, std::uint32_t a, std::uint32_t b = 0, std::uint32_t c = 0);
    void EmitTo(Op op, std::uint32_t dst, std::uint32_t a, std::uint32_t b = 0,
                std::uint32_t c = 0);
    void Move(std::uint32_t dst, std::uint32_t src);
    std::uint32_t MaskAnd(std::uint32_t mask, std::uint32_t cond);
    std::uint32_t MaskAndNot(std::uint32_t mask, std::uint32_t cond);

    // Expressions.
    bool Eval(const Expr* e, Regs& out);
    bool EvalRef(const Expr* e, Ref& ref);
    bool Load(const Ref& ref, Regs& out);
    // One component read through the computed index of ref, starting at base.
    std::uint32_t Gather(Op op, const Ref& ref, std::uint32_t base);
    bool Store(const Ref& ref, const Regs& values, const SourceLocation& at);
    Regs ConvertRegs(const Regs& in, const Type& from, const Type& to);
    std::uint32_t ConvertBase(std::uint32_t reg, BaseType from, BaseType to);
    bool EvalIntrinsic(const Expr* e, Regs& out);
    bool EvalSample(const Expr* e, Regs& out);
    bool EvalCall(const Expr* e, Regs& out);
    const Variable* ResolveSampler(const Expr* e);
    std::uint32_t Dot(const Regs& a, const Regs& b, std::size_t n);

    // Statements.
    void EmitStatement(const Stmt* s);
    void EmitBlock(const std::vector<StmtPtr>& body);
    void EmitFor(const Stmt* s);
    void Declare(const Variable* v);

    // Entry.
    bool ParseSemantic(const std::string& text, Usage& usage, unsigned& index) const;
    bool Leaves(const Type& t, const std::string& semantic, const Regs& regs, std::size_t first,
                std::vector<Leaf>& out, const SourceLocation& at, const std::string& name);
    void CollectStatics(const Stmt* s, std::set<const Variable*>& out,
                        std::set<const Function*>& seen);
    void CollectStatics(const Expr* e, std::set<const Variable*>& out,
                        std::set<const Function*>& seen);
    std::shared_ptr<Program> Finish(const std::vector<Leaf>& inputs,
                                    const std::vector<Leaf>& outputs);

    Diagnostics& diagnostics_;
    bool failed_ = false;
    std::shared_ptr<Program> program_;

    // Generation state (reset per program). Encoded registers: constants have kConstBit,
    // inputs kInputBit, temporaries neither.
    std::uint32_t tempTop_ = 0, tempMax_ = 0, constCount_ = 0, inputSlots_ = 0;
    std::map<std::uint32_t, std::uint32_t> literalRegs_;     // float bits -> register
    std::map<std::uint32_t, float> literalValues_;           // register -> value
    std::map<std::uint32_t, std::uint32_t> uniformRegs_;     // store word -> register
    std::map<const Variable*, std::uint32_t> arrayBuffers_;  // uniform root -> buffer offset
    std::map<const Variable*, Regs> vars_;
    std::map<const Variable*, const Variable*> samplerArgs_;
    std::map<const Variable*, const Variable*> aliases_;  // parameter -> uniform passed whole
    std::map<std::pair<Usage, unsigned>, std::uint32_t> inputSlotOf_;
    std::vector<Frame*> frames_;
    std::uint32_t mask_ = 0;
    bool masked_ = false;
};

}  // namespace Hlsl
