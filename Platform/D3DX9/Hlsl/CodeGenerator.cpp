#include "Platform/D3DX9/Hlsl/CodeGenerator.h"

#include "Platform/D3DX9/Hlsl/ProgramOptimizer.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>

namespace Hlsl {

namespace {

constexpr std::uint32_t kConstBit = 0x80000000u;
constexpr std::uint32_t kInputBit = 0x40000000u;
constexpr std::uint32_t kIndexMask = 0x3FFFFFFFu;
constexpr std::uint32_t kMaxRegisters = 1u << 20;
constexpr int kMaxLoopIterations = 1024;
constexpr std::size_t kMaxInstructions = 1u << 18;

Conversion ConversionOf(BaseType b) {
    switch (b) {
        case BaseType::Bool:
            return Conversion::Bool;
        case BaseType::Int:
        case BaseType::UInt:
            return Conversion::Int;
        default:
            return Conversion::Float;
    }
}

bool AssignsTo(const Expr* e, const Variable* v);

bool AssignsTo(const Stmt* s, const Variable* v) {
    if (s == nullptr)
        return false;
    for (const StmtPtr& b : s->body)
        if (AssignsTo(b.get(), v))
            return true;
    if (s->var != nullptr && s->var->init != nullptr && AssignsTo(s->var->init.get(), v))
        return true;
    return AssignsTo(s->expr.get(), v) || AssignsTo(s->init.get(), v) ||
           AssignsTo(s->step.get(), v) || AssignsTo(s->then.get(), v) ||
           AssignsTo(s->otherwise.get(), v);
}

const Variable* RootVariable(const Expr* e) {
    while (e != nullptr && (e->kind == ExprKind::Member || e->kind == ExprKind::Swizzle ||
                            e->kind == ExprKind::Index))
        e = e->args[0].get();
    return e != nullptr && e->kind == ExprKind::Variable ? e->var : nullptr;
}

bool AssignsTo(const Expr* e, const Variable* v) {
    if (e == nullptr)
        return false;
    if (e->kind == ExprKind::Assign ||
        (e->kind == ExprKind::Unary && e->op.size() > 2 && e->op[0] != '-' && e->op[0] != '!'))
        if (RootVariable(e->args[0].get()) == v)
            return true;
    if (e->kind == ExprKind::Unary && (e->op == "--pre" || e->op == "--post"))
        if (RootVariable(e->args[0].get()) == v)
            return true;
    if (e->kind == ExprKind::Call)
        for (std::size_t i = 0; i < e->args.size(); ++i)
            if (e->function->params[i]->direction != ParamDirection::In &&
                RootVariable(e->args[i].get()) == v)
                return true;
    for (const ExprPtr& a : e->args)
        if (AssignsTo(a.get(), v))
            return true;
    return false;
}

// True when a return appears anywhere but as the last statement of the body.
bool HasEarlyReturn(const Stmt* s, bool tail) {
    if (s == nullptr)
        return false;
    switch (s->kind) {
        case StmtKind::Return:
            return !tail;
        case StmtKind::Block:
        case StmtKind::Sequence:
            for (std::size_t i = 0; i < s->body.size(); ++i)
                if (HasEarlyReturn(s->body[i].get(), tail && i + 1 == s->body.size()))
                    return true;
            return false;
        case StmtKind::If:
            return HasEarlyReturn(s->then.get(), false) ||
                   HasEarlyReturn(s->otherwise.get(), false);
        case StmtKind::For:
            return HasEarlyReturn(s->then.get(), false);
        default:
            return false;
    }
}

}  // namespace

CodeGenerator::CodeGenerator(Diagnostics& diagnostics) : diagnostics_(diagnostics) {}

// ---------------------------------------------------------------------------------------------
// Registers

std::uint32_t CodeGenerator::Temp() {
    std::uint32_t r = tempTop_++;
    tempMax_ = std::max(tempMax_, tempTop_);
    if (tempTop_ > kMaxRegisters && !failed_) {
        diagnostics_.ErrorNoLocation(4500, "program too large");
        failed_ = true;
        tempTop_ = 0;
    }
    return r;
}

CodeGenerator::Regs CodeGenerator::Temps(std::uint32_t n) {
    Regs r;
    r.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) r.push_back(Temp());
    return r;
}

std::uint32_t CodeGenerator::Literal(float v) {
    std::uint32_t bits = std::bit_cast<std::uint32_t>(v);
    auto f = literalRegs_.find(bits);
    if (f != literalRegs_.end())
        return f->second;
    std::uint32_t reg = kConstBit | constCount_++;
    literalRegs_[bits] = reg;
    literalValues_[reg] = v;
    program_->literals.push_back({reg, v});
    return reg;
}

bool CodeGenerator::IsLiteral(std::uint32_t reg, float& v) const {
    auto f = literalValues_.find(reg);
    if (f == literalValues_.end())
        return false;
    v = f->second;
    return true;
}

std::uint32_t CodeGenerator::UniformReg(std::uint32_t word, BaseType base) {
    auto f = uniformRegs_.find(word);
    if (f != uniformRegs_.end())
        return f->second;
    std::uint32_t reg = kConstBit | constCount_++;
    uniformRegs_[word] = reg;
    program_->constants.push_back({word, ConversionOf(base), reg});
    return reg;
}

void CodeGenerator::EmitTo(Op op, std::uint32_t dst, std::uint32_t a, std::uint32_t b,
                           std::uint32_t c) {
    if (program_->code.size() >= kMaxInstructions) {
        if (!failed_)
            diagnostics_.ErrorNoLocation(4500, "program too large");
        failed_ = true;
        return;
    }
    Instruction in;
    in.op = op;
    in.dst = dst;
    in.a = a;
    in.b = b;
    in.c = c;
    program_->code.push_back(in);
}

std::uint32_t CodeGenerator::Emit(Op op, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    // Fold operations on literals: they come from constructors, constants and unrolled loops.
    float x = 0.0f, y = 0.0f, z = 0.0f;
    bool la = IsLiteral(a, x), lb = IsLiteral(b, y), lc = IsLiteral(c, z);
    bool unary = op == Op::Neg || op == Op::Abs || op == Op::Sat || op == Op::Floor ||
                 op == Op::Ceil || op == Op::Frac || op == Op::Trunc || op == Op::Round ||
                 op == Op::Not || op == Op::Sqrt || op == Op::Rcp || op == Op::Rsq;
    if (la && (unary || lb) && (op != Op::Mad || lc) && op != Op::Select) {
        float r;
        bool folded = true;
        switch (op) {
            case Op::Add:
                r = x + y;
                break;
            case Op::Sub:
                r = x - y;
                break;
            case Op::Mul:
                r = x * y;
                break;
            case Op::Div:
                r = x / y;
                break;
            case Op::Mad:
                r = x * y + z;
                break;
            case Op::Neg:
                r = -x;
                break;
            case Op::Abs:
                r = std::fabs(x);
                break;
            case Op::Sat:
                r = x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f;
                break;
            case Op::Floor:
                r = std::floor(x);
                break;
            case Op::Ceil:
                r = std::ceil(x);
                break;
            case Op::Frac:
                r = x - std::floor(x);
                break;
            case Op::Trunc:
                r = std::trunc(x);
                break;
            case Op::Round:
                r = std::nearbyint(x);
                break;
            case Op::Sqrt:
                r = std::sqrt(x);
                break;
            case Op::Rcp:
                r = 1.0f / x;
                break;
            case Op::Rsq:
                r = 1.0f / std::sqrt(x);
                break;
            case Op::Min:
                r = x < y ? x : y;
                break;
            case Op::Max:
                r = x > y ? x : y;
                break;
            case Op::Lt:
                r = x < y ? 1.0f : 0.0f;
                break;
            case Op::Le:
                r = x <= y ? 1.0f : 0.0f;
                break;
            case Op::Eq:
                r = x == y ? 1.0f : 0.0f;
                break;
            case Op::Ne:
                r = x != y ? 1.0f : 0.0f;
                break;
            case Op::And:
                r = (x != 0.0f && y != 0.0f) ? 1.0f : 0.0f;
                break;
            case Op::Or:
                r = (x != 0.0f || y != 0.0f) ? 1.0f : 0.0f;
                break;
            case Op::Not:
                r = x == 0.0f ? 1.0f : 0.0f;
                break;
            default:
                folded = false;
                r = 0.0f;
                break;
        }
        if (folded && std::isfinite(r))
            return Literal(r);
    }
    if (op == Op::Select && la)
        return x != 0.0f ? b : c;
    // Identities that unrolled and constructed code produce often.
    if (op == Op::Mul && lb && y == 1.0f)
        return a;
    if (op == Op::Mul && la && x == 1.0f)
        return b;
    if (op == Op::Add && lb && y == 0.0f)
        return a;
    if (op == Op::Add && la && x == 0.0f)
        return b;
    if (op == Op::Mad && lc && z == 0.0f)
        return Emit(Op::Mul, a, b);
    std::uint32_t d = Temp();
    EmitTo(op, d, a, b, c);
    return d;
}

void CodeGenerator::Move(std::uint32_t dst, std::uint32_t src) {
    if (dst == src)
        return;
    if (masked_)
        EmitTo(Op::Select, dst, mask_, src, dst);
    else
        EmitTo(Op::Mov, dst, src);
}

std::uint32_t CodeGenerator::MaskAnd(std::uint32_t mask, std::uint32_t cond) {
    return Emit(Op::And, mask, cond);
}

std::uint32_t CodeGenerator::MaskAndNot(std::uint32_t mask, std::uint32_t cond) {
    return Emit(Op::And, mask, Emit(Op::Not, cond));
}

// ---------------------------------------------------------------------------------------------
// Expressions

std::uint32_t CodeGenerator::ConvertBase(std::uint32_t reg, BaseType from, BaseType to) {
    if (from == to)
        return reg;
    switch (to) {
        case BaseType::Bool:
            return Emit(Op::Ne, reg, Literal(0.0f));
        case BaseType::Int:
        case BaseType::UInt:
            return from == BaseType::Float ? Emit(Op::Trunc, reg) : reg;
        default:
            return reg;
    }
}

CodeGenerator::Regs CodeGenerator::ConvertRegs(const Regs& in, const Type& from, const Type& to) {
    if (from == to || !from.IsNumeric() || !to.IsNumeric())
        return in;
    Regs out;
    unsigned n = to.NumericCount();
    for (unsigned i = 0; i < n; ++i) {
        unsigned src;
        if (from.NumericCount() == 1)
            src = 0;
        else if (from.cls == TypeClass::Matrix && to.cls == TypeClass::Matrix)
            src = (i / to.columns) * from.columns + i % to.columns;
        else
            src = i;
        out.push_back(
            ConvertBase(in[std::min<std::size_t>(src, in.size() - 1)], from.base, to.base));
    }
    return out;
}

const Variable* CodeGenerator::ResolveSampler(const Expr* e) {
    if (e->kind != ExprKind::Variable)
        return nullptr;
    const Variable* v = e->var;
    auto f = samplerArgs_.find(v);
    while (f != samplerArgs_.end()) {
        v = f->second;
        f = samplerArgs_.find(v);
    }
    return v->storage == Storage::Uniform ? v : nullptr;
}

bool CodeGenerator::EvalRef(const Expr* e, Ref& ref) {
    switch (e->kind) {
        case ExprKind::Variable: {
            const Variable* v = e->var;
            for (auto a = aliases_.find(v); a != aliases_.end(); a = aliases_.find(v))
                v = a->second;
            ref = Ref{};
            ref.var = v;
            std::uint32_t n = v->type.Components();
            for (std::uint32_t i = 0; i < n; ++i) ref.comps.push_back(i);
            if (v->storage == Storage::Uniform) {
                ref.uniform = true;
                return true;
            }
            if (v->isConst && v->constValue.size() == n) {
                // A constant is its literals: loops and indices see through it.
                for (double d : v->constValue) ref.root.push_back(Literal(static_cast<float>(d)));
                return true;
            }
            auto f = vars_.find(v);
            if (f == vars_.end()) {
                diagnostics_.Error(e->location, 3004, "'" + v->name + "' cannot be used here");
                return false;
            }
            ref.root = f->second;
            ref.writable = !v->uniformParam && !v->isConst;
            return true;
        }
        case ExprKind::Member: {
            if (!EvalRef(e->args[0].get(), ref))
                return false;
            const StructMember& m = e->args[0]->type.structDef->members[e->memberIndex];
            std::vector<std::uint32_t> comps(ref.comps.begin() + m.offset,
                                             ref.comps.begin() + m.offset + m.type.Components());
            ref.comps = std::move(comps);
            return true;
        }
        case ExprKind::Swizzle: {
            if (!EvalRef(e->args[0].get(), ref))
                return false;
            std::vector<std::uint32_t> comps;
            for (std::uint8_t c : e->components) comps.push_back(ref.comps[c]);
            ref.comps = std::move(comps);
            return true;
        }
        case ExprKind::Index: {
            if (!EvalRef(e->args[0].get(), ref))
                return false;
            const Type& pt = e->args[0]->type;
            std::uint32_t elem = e->type.Components();
            std::uint32_t count = pt.arraySize != 0             ? pt.arraySize
                                  : pt.cls == TypeClass::Vector ? pt.columns
                                                                : pt.rows;
            Regs idx;
            if (!Eval(e->args[1].get(), idx))
                return false;
            float lit;
            if (IsLiteral(idx[0], lit)) {
                std::uint32_t i =
                    lit < 0 ? 0
                            : std::min<std::uint32_t>(static_cast<std::uint32_t>(lit), count - 1);
                std::vector<std::uint32_t> comps(ref.comps.begin() + i * elem,
                                                 ref.comps.begin() + (i + 1) * elem);
                ref.comps = std::move(comps);
                return true;
            }
            if (ref.dynamic) {
                diagnostics_.Error(e->location, 3500,
                                   "only one computed index is supported in an expression");
                return false;
            }
            for (std::size_t k = 1; k < ref.comps.size(); ++k)
                if (ref.comps[k] != ref.comps[0] + k) {
                    diagnostics_.Error(e->location, 3500,
                                       "a computed index needs a whole array, vector or matrix");
                    return false;
                }
            ref.dynamic = true;
            ref.indexReg = idx[0];
            ref.stride = elem;
            ref.count = count;
            ref.comps.resize(elem);
            return true;
        }
        default: {
            Regs regs;
            if (!Eval(e, regs))
                return false;
            ref = Ref{};
            ref.root = regs;
            for (std::uint32_t i = 0; i < regs.size(); ++i) ref.comps.push_back(i);
            return true;
        }
    }
}

bool CodeGenerator::Load(const Ref& ref, Regs& out) {
    out.clear();
    if (ref.uniform) {
        std::vector<BaseType> bases;
        ComponentBases(ref.var->type, bases);
        if (!ref.dynamic) {
            for (std::uint32_t c : ref.comps)
                out.push_back(UniformReg(ref.var->offset + c, bases[c]));
            return true;
        }
        auto f = arrayBuffers_.find(ref.var);
        std::uint32_t buffer;
        if (f == arrayBuffers_.end()) {
            ArrayLoad a;
            a.word = ref.var->offset;
            a.count = ref.var->type.Components();
            for (BaseType b : bases) a.conversions.push_back(ConversionOf(b));
            a.bufferOffset = program_->arrayWords;
            program_->arrayWords += a.count;
            buffer = a.bufferOffset;
            arrayBuffers_[ref.var] = buffer;
            program_->arrays.push_back(std::move(a));
        } else {
            buffer = f->second;
        }
        for (std::uint32_t c : ref.comps) out.push_back(Gather(Op::GatherConst, ref, buffer + c));
        return true;
    }
    if (!ref.dynamic) {
        for (std::uint32_t c : ref.comps) out.push_back(ref.root[c]);
        return true;
    }
    // A computed index into registers needs them side by side.
    Regs root = ref.root;
    bool contiguous = true;
    for (std::size_t k = 1; k < root.size(); ++k)
        if (root[k] != root[0] + k || (root[k] & kConstBit) != 0 ||
            (root[k] & kInputBit) != (root[0] & kInputBit))
            contiguous = false;
    if (!contiguous || (root[0] & kConstBit) != 0) {
        Regs copy = Temps(static_cast<std::uint32_t>(root.size()));
        for (std::size_t k = 0; k < root.size(); ++k) EmitTo(Op::Mov, copy[k], root[k]);
        root = std::move(copy);
    }
    for (std::uint32_t c : ref.comps) out.push_back(Gather(Op::GatherReg, ref, root[c]));
    return true;
}

std::uint32_t CodeGenerator::Gather(Op op, const Ref& ref, std::uint32_t base) {
    std::uint32_t d = Temp();
    EmitTo(op, d, ref.indexReg, base, ref.stride);
    if (!program_->code.empty() && program_->code.back().dst == d)
        program_->code.back().d = ref.count;
    return d;
}

bool CodeGenerator::Store(const Ref& ref, const Regs& values, const SourceLocation& at) {
    if (!ref.writable || ref.uniform) {
        diagnostics_.Error(at, 3025, "l-value specifies const object");
        return false;
    }
    if (ref.dynamic) {
        diagnostics_.Error(at, 3500, "writing through a computed index is not supported");
        return false;
    }
    Regs dst;
    for (std::uint32_t c : ref.comps) dst.push_back(ref.root[c]);
    // a.xy = a.yx: read every source before writing any destination.
    Regs src = values;
    for (std::size_t i = 0; i < src.size(); ++i)
        for (std::size_t j = 0; j < i && j < dst.size(); ++j)
            if (src[i] == dst[j]) {
                Regs copy;
                for (std::uint32_t s : values) {
                    std::uint32_t t = Temp();
                    EmitTo(Op::Mov, t, s);
                    copy.push_back(t);
                }
                src = std::move(copy);
                i = src.size();
                break;
            }
    for (std::size_t i = 0; i < dst.size() && i < src.size(); ++i) Move(dst[i], src[i]);
    return true;
}

std::uint32_t CodeGenerator::Dot(const Regs& a, const Regs& b, std::size_t n) {
    std::uint32_t acc = Emit(Op::Mul, a[0], b[0]);
    for (std::size_t i = 1; i < n; ++i) acc = Emit(Op::Mad, a[i], b[i], acc);
    return acc;
}

bool CodeGenerator::Eval(const Expr* e, Regs& out) {
    out.clear();
    if (e == nullptr || failed_)
        return false;
    switch (e->kind) {
        case ExprKind::Literal:
            if (!e->type.IsNumeric())
                return false;
            out.push_back(Literal(static_cast<float>(e->number)));
            return true;
        case ExprKind::Variable:
            if (e->type.cls == TypeClass::Sampler || e->type.cls == TypeClass::Texture) {
                out.push_back(Literal(0.0f));  // objects only travel as arguments
                return true;
            }
            [[fallthrough]];
        case ExprKind::Member:
        case ExprKind::Swizzle:
        case ExprKind::Index: {
            Ref ref;
            return EvalRef(e, ref) && Load(ref, out);
        }
        case ExprKind::Unary: {
            const std::string& op = e->op;
            if (op == "-" || op == "!") {
                Regs a;
                if (!Eval(e->args[0].get(), a))
                    return false;
                for (std::uint32_t r : a) out.push_back(Emit(op == "-" ? Op::Neg : Op::Not, r));
                return true;
            }
            Ref ref;
            Regs cur;
            if (!EvalRef(e->args[0].get(), ref) || !Load(ref, cur))
                return false;
            Regs old;
            bool post = op.size() > 2 && op.compare(2, 4, "post") == 0;
            if (post)
                for (std::uint32_t r : cur) {
                    std::uint32_t t = Temp();
                    EmitTo(Op::Mov, t, r);
                    old.push_back(t);
                }
            Regs next;
            for (std::uint32_t r : cur)
                next.push_back(Emit(op[0] == '+' ? Op::Add : Op::Sub, r, Literal(1.0f)));
            if (!Store(ref, next, e->location))
                return false;
            out = post ? old : next;
            return true;
        }
        case ExprKind::Binary: {
            Regs a, b;
            if (!Eval(e->args[0].get(), a) || !Eval(e->args[1].get(), b))
                return false;
            const std::string& op = e->op;
            bool integer =
                e->args[0]->type.base == BaseType::Int || e->args[0]->type.base == BaseType::UInt;
            for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
                std::uint32_t r;
                if (op == "+")
                    r = Emit(Op::Add, a[i], b[i]);
                else if (op == "-")
                    r = Emit(Op::Sub, a[i], b[i]);
                else if (op == "*")
                    r = Emit(Op::Mul, a[i], b[i]);
                else if (op == "/")
                    r = integer ? Emit(Op::Trunc, Emit(Op::Div, a[i], b[i]))
                                : Emit(Op::Div, a[i], b[i]);
                else if (op == "%")
                    r = Emit(Op::Fmod, a[i], b[i]);
                else if (op == "<")
                    r = Emit(Op::Lt, a[i], b[i]);
                else if (op == ">")
                    r = Emit(Op::Lt, b[i], a[i]);
                else if (op == "<=")
                    r = Emit(Op::Le, a[i], b[i]);
                else if (op == ">=")
                    r = Emit(Op::Le, b[i], a[i]);
                else if (op == "==")
                    r = Emit(Op::Eq, a[i], b[i]);
                else if (op == "!=")
                    r = Emit(Op::Ne, a[i], b[i]);
                else if (op == "&&")
                    r = Emit(Op::And, a[i], b[i]);
                else
                    r = Emit(Op::Or, a[i], b[i]);
                out.push_back(r);
            }
            return true;
        }
        case ExprKind::Assign: {
            Regs rhs;
            if (!Eval(e->args[1].get(), rhs))
                return false;
            Ref ref;
            if (!EvalRef(e->args[0].get(), ref))
                return false;
            Regs value = rhs;
            if (e->op != "=") {
                Regs cur;
                if (!Load(ref, cur))
                    return false;
                bool integer = e->type.base == BaseType::Int || e->type.base == BaseType::UInt;
                value.clear();
                for (std::size_t i = 0; i < cur.size() && i < rhs.size(); ++i) {
                    char o = e->op[0];
                    std::uint32_t r = o == '+'   ? Emit(Op::Add, cur[i], rhs[i])
                                      : o == '-' ? Emit(Op::Sub, cur[i], rhs[i])
                                      : o == '*' ? Emit(Op::Mul, cur[i], rhs[i])
                                      : o == '/' ? Emit(Op::Div, cur[i], rhs[i])
                                                 : Emit(Op::Fmod, cur[i], rhs[i]);
                    if (integer && (o == '/' || o == '*'))
                        r = Emit(Op::Trunc, r);
                    value.push_back(r);
                }
            }
            if (!Store(ref, value, e->location))
                return false;
            out = value;
            return true;
        }
        case ExprKind::Ternary: {
            Regs c, a, b;
            if (!Eval(e->args[0].get(), c) || !Eval(e->args[1].get(), a) ||
                !Eval(e->args[2].get(), b))
                return false;
            for (std::size_t i = 0; i < a.size(); ++i)
                out.push_back(Emit(Op::Select, c[c.size() == 1 ? 0 : i], a[i], b[i]));
            return true;
        }
        case ExprKind::Construct:
        case ExprKind::InitList: {
            std::vector<BaseType> bases;
            ComponentBases(e->type, bases);
            for (const ExprPtr& a : e->args) {
                Regs r;
                if (!Eval(a.get(), r))
                    return false;
                BaseType from = a->type.base;
                for (std::uint32_t x : r) {
                    std::size_t k = out.size();
                    out.push_back(k < bases.size() ? ConvertBase(x, from, bases[k]) : x);
                }
            }
            return true;
        }
        case ExprKind::Convert: {
            Regs a;
            if (!Eval(e->args[0].get(), a))
                return false;
            out = ConvertRegs(a, e->args[0]->type, e->type);
            return true;
        }
        case ExprKind::Call:
            return EvalCall(e, out);
        case ExprKind::Intrinsic:
            return EvalIntrinsic(e, out);
    }
    return false;
}

bool CodeGenerator::EvalSample(const Expr* e, Regs& out) {
    const Variable* s = ResolveSampler(e->args[0].get());
    if (s == nullptr || s->parameter < 0) {
        diagnostics_.Error(e->location, 3004, "texture fetch needs a global sampler");
        return false;
    }
    Regs coord;
    if (!Eval(e->args[1].get(), coord))
        return false;
    SampleOp op;
    TextureDim dim;
    switch (e->intrinsic) {
        case Intrinsic::Tex1D:
            dim = TextureDim::Tex1D;
            break;
        case Intrinsic::Tex3D:
            dim = TextureDim::Tex3D;
            break;
        case Intrinsic::TexCUBE:
        case Intrinsic::TexCUBElod:
        case Intrinsic::TexCUBEbias:
        case Intrinsic::TexCUBEproj:
            dim = TextureDim::Cube;
            break;
        default:
            dim = TextureDim::Tex2D;
            break;
    }
    std::uint32_t index = 0;
    for (; index < program_->samplers.size(); ++index)
        if (program_->samplers[index].parameter == static_cast<std::uint32_t>(s->parameter))
            break;
    if (index == program_->samplers.size()) {
        ProgramSampler ps;
        ps.parameter = static_cast<std::uint32_t>(s->parameter);
        ps.stage = (program_->kind == ProgramKind::Vertex ? kVertexSamplerBase : 0u) + index;
        ps.dim = dim;
        program_->samplers.push_back(ps);
    }
    op.sampler = index;
    op.dim = dim;
    for (int k = 0; k < 4; ++k) op.coord[k] = coord[std::min<std::size_t>(k, coord.size() - 1)];
    op.lodRegister = coord[0];
    switch (e->intrinsic) {
        case Intrinsic::Tex2Dproj:
        case Intrinsic::TexCUBEproj:
            op.projected = true;
            break;
        case Intrinsic::Tex2Dlod:
        case Intrinsic::TexCUBElod:
            op.lod = LodMode::Explicit;
            op.lodRegister = coord[3];
            break;
        case Intrinsic::Tex2Dbias:
        case Intrinsic::TexCUBEbias:
            op.lod = LodMode::Bias;
            op.lodRegister = coord[3];
            break;
        default:
            break;
    }
    if (program_->kind == ProgramKind::Vertex && op.lod == LodMode::Implicit) {
        // A vertex has no neighbours to take derivatives from: the top level is read.
        op.lod = LodMode::Explicit;
        op.lodRegister = Literal(0.0f);
    }
    out = Temps(4);
    for (int k = 0; k < 4; ++k) op.out[k] = out[k];
    Instruction in;
    in.op = Op::Sample;
    in.dst = out[0];
    in.b = static_cast<std::uint32_t>(program_->samples.size());
    program_->samples.push_back(op);
    program_->code.push_back(in);
    return true;
}

bool CodeGenerator::EvalIntrinsic(const Expr* e, Regs& out) {
    Intrinsic id = e->intrinsic;
    if (id >= Intrinsic::Tex1D)
        return EvalSample(e, out);
    std::vector<Regs> a(e->args.size());
    for (std::size_t i = 0; i < e->args.size(); ++i)
        if (!Eval(e->args[i].get(), a[i]))
            return false;
    auto each = [&](Op op) {
        for (std::size_t i = 0; i < a[0].size(); ++i)
            out.push_back(
                Emit(op, a[0][i], a.size() > 1 ? a[1][i] : 0, a.size() > 2 ? a[2][i] : 0));
    };
    auto scale = [&](float k) {
        for (std::uint32_t r : a[0]) out.push_back(Emit(Op::Mul, r, Literal(k)));
    };
    switch (id) {
        case Intrinsic::Abs:
            each(Op::Abs);
            break;
        case Intrinsic::Acos:
            each(Op::Acos);
            break;
        case Intrinsic::Asin:
            each(Op::Asin);
            break;
        case Intrinsic::Atan:
            each(Op::Atan);
            break;
        case Intrinsic::Atan2:
            each(Op::Atan2);
            break;
        case Intrinsic::Ceil:
            each(Op::Ceil);
            break;
        case Intrinsic::Cos:
            each(Op::Cos);
            break;
        case Intrinsic::Exp:
            each(Op::Exp);
            break;
        case Intrinsic::Exp2:
            each(Op::Exp2);
            break;
        case Intrinsic::Floor:
            each(Op::Floor);
            break;
        case Intrinsic::Fmod:
            each(Op::Fmod);
            break;
        case Intrinsic::Frac:
            each(Op::Frac);
            break;
        case Intrinsic::Log:
            each(Op::Log);
            break;
        case Intrinsic::Log2:
            each(Op::Log2);
            break;
        case Intrinsic::Max:
            each(Op::Max);
            break;
        case Intrinsic::Min:
            each(Op::Min);
            break;
        case Intrinsic::Pow:
            each(Op::Pow);
            break;
        case Intrinsic::Rcp:
            each(Op::Rcp);
            break;
        case Intrinsic::Round:
            each(Op::Round);
            break;
        case Intrinsic::Rsqrt:
            each(Op::Rsq);
            break;
        case Intrinsic::Saturate:
            each(Op::Sat);
            break;
        case Intrinsic::Sign:
            each(Op::Sign);
            break;
        case Intrinsic::Sin:
            each(Op::Sin);
            break;
        case Intrinsic::Sqrt:
            each(Op::Sqrt);
            break;
        case Intrinsic::Tan:
            each(Op::Tan);
            break;
        case Intrinsic::Trunc:
            each(Op::Trunc);
            break;
        case Intrinsic::Ddx:
        case Intrinsic::Ddy:
        case Intrinsic::Fwidth:
            if (program_->kind == ProgramKind::Vertex) {
                diagnostics_.Error(e->location, 4532,
                                   "derivatives are only available in pixel programs");
                return false;
            }
            if (id == Intrinsic::Fwidth) {
                for (std::uint32_t r : a[0])
                    out.push_back(Emit(Op::Add, Emit(Op::Abs, Emit(Op::Ddx, r)),
                                       Emit(Op::Abs, Emit(Op::Ddy, r))));
            } else {
                each(id == Intrinsic::Ddx ? Op::Ddx : Op::Ddy);
            }
            break;
        case Intrinsic::Log10:
            for (std::uint32_t r : a[0])
                out.push_back(Emit(Op::Mul, Emit(Op::Log2, r), Literal(0.30102999566f)));
            break;
        case Intrinsic::Degrees:
            scale(57.295779513f);
            break;
        case Intrinsic::Radians:
            scale(0.017453292519f);
            break;
        case Intrinsic::Clamp:
            for (std::size_t i = 0; i < a[0].size(); ++i)
                out.push_back(Emit(Op::Min, Emit(Op::Max, a[0][i], a[1][i]), a[2][i]));
            break;
        case Intrinsic::Lerp:
            for (std::size_t i = 0; i < a[0].size(); ++i)
                out.push_back(Emit(Op::Mad, a[2][i], Emit(Op::Sub, a[1][i], a[0][i]), a[0][i]));
            break;
        case Intrinsic::Step:  // step(y, x) = x >= y
            for (std::size_t i = 0; i < a[0].size(); ++i)
                out.push_back(Emit(Op::Le, a[0][i], a[1][i]));
            break;
        case Intrinsic::Smoothstep:
            for (std::size_t i = 0; i < a[0].size(); ++i) {
                std::uint32_t t = Emit(Op::Sat, Emit(Op::Div, Emit(Op::Sub, a[2][i], a[0][i]),
                                                     Emit(Op::Sub, a[1][i], a[0][i])));
                std::uint32_t k = Emit(Op::Sub, Literal(3.0f), Emit(Op::Mul, Literal(2.0f), t));
                out.push_back(Emit(Op::Mul, Emit(Op::Mul, t, t), k));
            }
            break;
        case Intrinsic::Any:
        case Intrinsic::All: {
            std::uint32_t acc = Emit(Op::Ne, a[0][0], Literal(0.0f));
            for (std::size_t i = 1; i < a[0].size(); ++i)
                acc = Emit(id == Intrinsic::Any ? Op::Or : Op::And, acc, a[0][i]);
            out.push_back(acc);
            break;
        }
        case Intrinsic::Clip: {
            std::uint32_t any = Emit(Op::Lt, a[0][0], Literal(0.0f));
            for (std::size_t i = 1; i < a[0].size(); ++i)
                any = Emit(Op::Or, any, Emit(Op::Lt, a[0][i], Literal(0.0f)));
            if (masked_)
                any = Emit(Op::And, any, mask_);
            EmitTo(Op::Kill, Temp(), any);
            program_->usesKill = true;
            break;
        }
        case Intrinsic::Dot:
            out.push_back(Dot(a[0], a[1], a[0].size()));
            break;
        case Intrinsic::Length:
            out.push_back(Emit(Op::Sqrt, Dot(a[0], a[0], a[0].size())));
            break;
        case Intrinsic::Distance: {
            Regs d;
            for (std::size_t i = 0; i < a[0].size(); ++i)
                d.push_back(Emit(Op::Sub, a[0][i], a[1][i]));
            out.push_back(Emit(Op::Sqrt, Dot(d, d, d.size())));
            break;
        }
        case Intrinsic::Normalize: {
            std::uint32_t inv = Emit(Op::Rsq, Dot(a[0], a[0], a[0].size()));
            for (std::uint32_t r : a[0]) out.push_back(Emit(Op::Mul, r, inv));
            break;
        }
        case Intrinsic::Reflect: {  // i - 2 * dot(i, n) * n
            std::uint32_t d2 = Emit(Op::Mul, Dot(a[0], a[1], a[0].size()), Literal(2.0f));
            for (std::size_t i = 0; i < a[0].size(); ++i)
                out.push_back(Emit(Op::Sub, a[0][i], Emit(Op::Mul, d2, a[1][i])));
            break;
        }
        case Intrinsic::Cross: {
            const Regs& x = a[0];
            const Regs& y = a[1];
            for (int i = 0; i < 3; ++i) {
                int j = (i + 1) % 3, k = (i + 2) % 3;
                out.push_back(Emit(Op::Sub, Emit(Op::Mul, x[j], y[k]), Emit(Op::Mul, x[k], y[j])));
            }
            break;
        }
        case Intrinsic::Lit: {
            // (1, max(n.l, 0), (n.l < 0 || n.h < 0) ? 0 : pow(n.h, m), 1)
            std::uint32_t zero = Literal(0.0f), one = Literal(1.0f);
            std::uint32_t nl = a[0][0], nh = a[1][0], m = a[2][0];
            std::uint32_t off = Emit(Op::Or, Emit(Op::Lt, nl, zero), Emit(Op::Lt, nh, zero));
            out = {one, Emit(Op::Max, nl, zero), Emit(Op::Select, off, zero, Emit(Op::Pow, nh, m)),
                   one};
            break;
        }
        case Intrinsic::Transpose: {
            const Type& t = e->args[0]->type;
            if (t.cls != TypeClass::Matrix) {
                out = a[0];
                break;
            }
            for (unsigned c = 0; c < t.columns; ++c)
                for (unsigned r = 0; r < t.rows; ++r) out.push_back(a[0][r * t.columns + c]);
            break;
        }
        case Intrinsic::Mul: {
            const Type& ta = e->args[0]->type;
            const Type& tb = e->args[1]->type;
            if (ta.NumericCount() == 1 || tb.NumericCount() == 1) {
                const Regs& s = ta.NumericCount() == 1 ? a[0] : a[1];
                const Regs& v = ta.NumericCount() == 1 ? a[1] : a[0];
                for (std::uint32_t r : v) out.push_back(Emit(Op::Mul, s[0], r));
            } else if (ta.cls == TypeClass::Vector && tb.cls == TypeClass::Matrix) {
                // Row vector times matrix: out[c] = sum over r of v[r] * M[r][c].
                unsigned k = std::min<unsigned>(ta.columns, tb.rows);
                for (unsigned c = 0; c < tb.columns; ++c) {
                    std::uint32_t acc = Emit(Op::Mul, a[0][0], a[1][c]);
                    for (unsigned r = 1; r < k; ++r)
                        acc = Emit(Op::Mad, a[0][r], a[1][r * tb.columns + c], acc);
                    out.push_back(acc);
                }
            } else if (ta.cls == TypeClass::Matrix && tb.cls == TypeClass::Vector) {
                unsigned k = std::min<unsigned>(ta.columns, tb.columns);
                for (unsigned r = 0; r < ta.rows; ++r) {
                    std::uint32_t acc = Emit(Op::Mul, a[0][r * ta.columns], a[1][0]);
                    for (unsigned c = 1; c < k; ++c)
                        acc = Emit(Op::Mad, a[0][r * ta.columns + c], a[1][c], acc);
                    out.push_back(acc);
                }
            } else if (ta.cls == TypeClass::Matrix && tb.cls == TypeClass::Matrix) {
                unsigned k = std::min<unsigned>(ta.columns, tb.rows);
                for (unsigned r = 0; r < ta.rows; ++r)
                    for (unsigned c = 0; c < tb.columns; ++c) {
                        std::uint32_t acc = Emit(Op::Mul, a[0][r * ta.columns], a[1][c]);
                        for (unsigned i = 1; i < k; ++i)
                            acc = Emit(Op::Mad, a[0][r * ta.columns + i], a[1][i * tb.columns + c],
                                       acc);
                        out.push_back(acc);
                    }
            } else {
                out.push_back(Dot(a[0], a[1], std::min(a[0].size(), a[1].size())));
            }
            break;
        }
        default:
            diagnostics_.Error(e->location, 3000, "intrinsic not supported here");
            return false;
    }
    return true;
}

bool CodeGenerator::EvalCall(const Expr* e, Regs& out) {
    Function* fn = e->function;
    if (fn->body == nullptr) {
        diagnostics_.Error(e->location, 3000,
                           "'" + fn->name + "': function declared but not defined");
        return false;
    }
    if (fn->inProgress) {
        diagnostics_.Error(e->location, 3500,
                           "'" + fn->name + "': recursive functions are not allowed");
        return false;
    }
    Frame frame;
    frame.ret = Temps(fn->returnType.Components());
    std::vector<Ref> copyBack(fn->params.size());
    std::map<const Variable*, Regs> saved;
    std::map<const Variable*, const Variable*> savedSamplers;
    for (std::size_t i = 0; i < fn->params.size(); ++i) {
        Variable* p = fn->params[i];
        const Expr* arg = e->args[i].get();
        if (vars_.count(p) != 0)
            saved[p] = vars_[p];
        if (p->type.cls == TypeClass::Sampler || p->type.cls == TypeClass::Texture) {
            const Variable* s = arg->kind == ExprKind::Variable ? arg->var : nullptr;
            if (s == nullptr) {
                diagnostics_.Error(arg->location, 3020, "sampler arguments must be samplers");
                return false;
            }
            samplerArgs_[p] = s;
            continue;
        }
        Regs regs;
        bool written = AssignsTo(fn->body.get(), p);
        if (p->direction == ParamDirection::In && !written && arg->kind == ExprKind::Variable &&
            arg->var->storage == Storage::Uniform && arg->type == p->type) {
            // A parameter passed whole (the bone palette) is read where it lies.
            aliases_[p] = arg->var;
            continue;
        }
        if (p->direction == ParamDirection::In) {
            if (!Eval(arg, regs))
                return false;
            if (p->type.arraySize != 0 || written) {
                Regs copy = Temps(static_cast<std::uint32_t>(regs.size()));
                for (std::size_t k = 0; k < regs.size(); ++k) EmitTo(Op::Mov, copy[k], regs[k]);
                regs = std::move(copy);
            }
        } else {
            if (!EvalRef(arg, copyBack[i]))
                return false;
            regs = Temps(p->type.Components());
            if (p->direction == ParamDirection::InOut) {
                Regs cur;
                if (!Load(copyBack[i], cur))
                    return false;
                cur = ConvertRegs(cur, arg->type, p->type);
                for (std::size_t k = 0; k < regs.size() && k < cur.size(); ++k)
                    EmitTo(Op::Mov, regs[k], cur[k]);
            } else {
                for (std::uint32_t r : regs) EmitTo(Op::Mov, r, Literal(0.0f));
            }
        }
        vars_[p] = std::move(regs);
    }
    fn->inProgress = true;
    bool savedMasked = masked_;
    std::uint32_t savedMask = mask_;
    if (HasEarlyReturn(fn->body.get(), true)) {
        frame.tracksReturn = true;
        frame.returned = Temp();
        EmitTo(Op::Mov, frame.returned, Literal(0.0f));
    }
    frames_.push_back(&frame);
    EmitStatement(fn->body.get());
    frames_.pop_back();
    masked_ = savedMasked;
    mask_ = savedMask;
    fn->inProgress = false;
    for (std::size_t i = 0; i < fn->params.size(); ++i) {
        Variable* p = fn->params[i];
        if (p->direction != ParamDirection::In && p->type.cls != TypeClass::Sampler) {
            Regs v = ConvertRegs(vars_[p], p->type, e->args[i]->type);
            if (!Store(copyBack[i], v, e->args[i]->location))
                return false;
        }
    }
    for (Variable* p : fn->params) {
        vars_.erase(p);
        samplerArgs_.erase(p);
        aliases_.erase(p);
    }
    for (auto& s : saved) vars_[s.first] = s.second;
    out = frame.ret;
    return !failed_;
}

// ---------------------------------------------------------------------------------------------
// Statements

void CodeGenerator::Declare(const Variable* v) {
    Regs regs = Temps(v->type.Components());
    vars_[v] = regs;
    std::uint32_t mark = tempTop_;
    Regs init;
    if (v->init != nullptr) {
        if (!Eval(v->init.get(), init))
            return;
        for (std::size_t i = 0; i < regs.size() && i < init.size(); ++i)
            EmitTo(Op::Mov, regs[i], init[i]);
    } else {
        // Unwritten locals read as 0 rather than as whatever a register held last.
        for (std::uint32_t r : regs) EmitTo(Op::Mov, r, Literal(0.0f));
    }
    tempTop_ = mark;
}

void CodeGenerator::EmitBlock(const std::vector<StmtPtr>& body) {
    Frame* frame = frames_.empty() ? nullptr : frames_.back();
    bool entryMasked = masked_;
    std::uint32_t entryMask = mask_;
    for (const StmtPtr& s : body) {
        if (failed_ || (frame != nullptr && frame->done))
            break;
        if (frame != nullptr && frame->tracksReturn) {
            // Lanes that returned earlier sit out the rest of the function.
            std::uint32_t live = Emit(Op::Not, frame->returned);
            mask_ = entryMasked ? Emit(Op::And, entryMask, live) : live;
            masked_ = true;
        }
        EmitStatement(s.get());
    }
    masked_ = entryMasked;
    mask_ = entryMask;
}

void CodeGenerator::EmitStatement(const Stmt* s) {
    if (s == nullptr || failed_)
        return;
    std::uint32_t mark = tempTop_;
    switch (s->kind) {
        case StmtKind::Block:
            EmitBlock(s->body);
            tempTop_ = mark;
            return;
        case StmtKind::Sequence:
            for (const StmtPtr& b : s->body) EmitStatement(b.get());
            return;  // the declared registers stay for the rest of the enclosing block
        case StmtKind::Declare:
            Declare(s->var);
            return;
        case StmtKind::Expression: {
            Regs r;
            Eval(s->expr.get(), r);
            break;
        }
        case StmtKind::If: {
            Regs c;
            if (!Eval(s->expr.get(), c))
                break;
            float lit;
            if (IsLiteral(c[0], lit)) {
                EmitStatement(lit != 0.0f ? s->then.get() : s->otherwise.get());
                break;
            }
            bool savedMasked = masked_;
            std::uint32_t savedMask = mask_;
            std::uint32_t thenMask = masked_ ? MaskAnd(mask_, c[0]) : c[0];
            std::uint32_t elseMask = s->otherwise != nullptr
                                         ? (masked_ ? MaskAndNot(mask_, c[0]) : Emit(Op::Not, c[0]))
                                         : 0;
            masked_ = true;
            mask_ = thenMask;
            EmitStatement(s->then.get());
            if (s->otherwise != nullptr) {
                masked_ = true;
                mask_ = elseMask;
                Frame* frame = frames_.empty() ? nullptr : frames_.back();
                if (frame != nullptr && frame->tracksReturn)
                    mask_ = Emit(Op::And, mask_, Emit(Op::Not, frame->returned));
                EmitStatement(s->otherwise.get());
            }
            masked_ = savedMasked;
            mask_ = savedMask;
            break;
        }
        case StmtKind::For:
            EmitFor(s);
            break;
        case StmtKind::Return: {
            Frame* frame = frames_.empty() ? nullptr : frames_.back();
            if (frame == nullptr)
                break;
            Regs v;
            if (s->expr != nullptr && !Eval(s->expr.get(), v))
                break;
            for (std::size_t i = 0; i < frame->ret.size() && i < v.size(); ++i)
                Move(frame->ret[i], v[i]);
            if (!masked_) {
                frame->done = true;
            } else if (frame->tracksReturn) {
                EmitTo(Op::Or, frame->returned, frame->returned, mask_);
            }
            break;
        }
        case StmtKind::Discard: {
            std::uint32_t m = masked_ ? mask_ : Literal(1.0f);
            EmitTo(Op::Kill, Temp(), m);
            program_->usesKill = true;
            break;
        }
        case StmtKind::Empty:
            break;
    }
    tempTop_ = mark;
}

void CodeGenerator::EmitFor(const Stmt* s) {
    // Only loops with a constant count: the counter is a literal in every unrolled copy.
    const Variable* counter = nullptr;
    std::vector<double> start;
    if (s->init != nullptr && s->init->kind == StmtKind::Sequence && s->init->body.size() == 1 &&
        s->init->body[0]->kind == StmtKind::Declare) {
        counter = s->init->body[0]->var;
        if (counter->init == nullptr || !Parser::EvaluateConstant(counter->init.get(), start))
            counter = nullptr;
    } else if (s->init != nullptr && s->init->kind == StmtKind::Expression &&
               s->init->expr != nullptr && s->init->expr->kind == ExprKind::Assign &&
               s->init->expr->op == "=" && s->init->expr->args[0]->kind == ExprKind::Variable) {
        counter = s->init->expr->args[0]->var;
        if (!Parser::EvaluateConstant(s->init->expr->args[1].get(), start))
            counter = nullptr;
    }
    const Expr* cond = s->expr.get();
    while (cond != nullptr && cond->kind == ExprKind::Convert) cond = cond->args[0].get();
    const Expr* step = s->step != nullptr ? s->step->expr.get() : nullptr;
    auto refersCounter = [&](const Expr* x) {
        while (x != nullptr && x->kind == ExprKind::Convert) x = x->args[0].get();
        return x != nullptr && x->kind == ExprKind::Variable && x->var == counter;
    };
    std::vector<double> limit, delta;
    bool ok = counter != nullptr && counter->type.NumericCount() == 1 && cond != nullptr &&
              cond->kind == ExprKind::Binary && refersCounter(cond->args[0].get()) &&
              Parser::EvaluateConstant(cond->args[1].get(), limit) && step != nullptr;
    if (ok) {
        if (step->kind == ExprKind::Unary && refersCounter(step->args[0].get()) &&
            step->op.size() > 2 && (step->op[0] == '+' || step->op[0] == '-')) {
            delta = {step->op[0] == '+' ? 1.0 : -1.0};
        } else if (step->kind == ExprKind::Assign && refersCounter(step->args[0].get()) &&
                   (step->op == "+=" || step->op == "-=") &&
                   Parser::EvaluateConstant(step->args[1].get(), delta)) {
            if (step->op == "-=")
                delta[0] = -delta[0];
        } else {
            ok = false;
        }
    }
    if (ok && AssignsTo(s->then.get(), counter))
        ok = false;
    if (!ok) {
        diagnostics_.Error(s->location, 3511,
                           "unable to unroll loop: the loop needs a constant count");
        failed_ = true;
        return;
    }
    const std::string& op = cond->op;
    double v = start[0];
    bool isInt = counter->type.base != BaseType::Float;
    for (int n = 0;; ++n) {
        double l = limit[0];
        bool go = op == "<"    ? v < l
                  : op == "<=" ? v <= l
                  : op == ">"  ? v > l
                  : op == ">=" ? v >= l
                  : op == "!=" ? v != l
                  : op == "==" ? v == l
                               : false;
        if (!go)
            break;
        if (n >= kMaxLoopIterations) {
            diagnostics_.Error(s->location, 3511,
                               "unable to unroll loop: more than 1024 iterations");
            failed_ = true;
            return;
        }
        vars_[counter] = {Literal(static_cast<float>(v))};
        std::uint32_t mark = tempTop_;
        EmitStatement(s->then.get());
        tempTop_ = mark;
        v += delta[0];
        if (isInt)
            v = std::trunc(v);
    }
    // After the loop the counter keeps its final value.
    vars_[counter] = {Literal(static_cast<float>(v))};
}

// ---------------------------------------------------------------------------------------------
// Entry

bool CodeGenerator::ParseSemantic(const std::string& text, Usage& usage, unsigned& index) const {
    std::string name;
    for (char c : text) name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
    index = digits < name.size() ? static_cast<unsigned>(std::stoul(name.substr(digits, 3))) : 0;
    name.resize(digits);
    static const struct {
        const char* name;
        Usage usage;
    } kNames[] = {{"POSITION", Usage::Position},
                  {"SV_POSITION", Usage::Position},
                  {"VPOS", Usage::Position},
                  {"POSITIONT", Usage::PositionT},
                  {"BLENDWEIGHT", Usage::BlendWeight},
                  {"BLENDINDICES", Usage::BlendIndices},
                  {"NORMAL", Usage::Normal},
                  {"PSIZE", Usage::PSize},
                  {"TEXCOORD", Usage::TexCoord},
                  {"TANGENT", Usage::Tangent},
                  {"BINORMAL", Usage::Binormal},
                  {"TESSFACTOR", Usage::TessFactor},
                  {"COLOR", Usage::Color},
                  {"SV_TARGET", Usage::Color},
                  {"FOG", Usage::Fog},
                  {"DEPTH", Usage::Depth},
                  {"SV_DEPTH", Usage::Depth},
                  {"SAMPLE", Usage::Sample}};
    for (const auto& n : kNames)
        if (name == n.name) {
            usage = n.usage;
            return index < 16;
        }
    return false;
}

bool CodeGenerator::Leaves(const Type& t, const std::string& semantic, const Regs& regs,
                           std::size_t first, std::vector<Leaf>& out, const SourceLocation& at,
                           const std::string& name) {
    if (t.cls == TypeClass::Struct && t.arraySize == 0) {
        for (const StructMember& m : t.structDef->members)
            if (!Leaves(m.type, m.semantic.empty() ? semantic : m.semantic, regs, first + m.offset,
                        out, at, name + "." + m.name))
                return false;
        return true;
    }
    if (!t.IsNumeric() && t.arraySize == 0) {
        diagnostics_.Error(at, 3502,
                           "'" + name + "': only numbers can pass in and out of a program");
        return false;
    }
    Usage usage;
    unsigned index;
    if (semantic.empty()) {
        diagnostics_.Error(at, 3502, "'" + name + "': missing semantics");
        return false;
    }
    if (!ParseSemantic(semantic, usage, index)) {
        diagnostics_.Error(at, 4502,
                           "invalid " + program_->profile + " semantic '" + semantic + "'");
        return false;
    }
    // Matrices take one semantic index per row, arrays one per element.
    Type elem = t.Element();
    unsigned groups = t.arraySize != 0 ? t.arraySize : 1;
    unsigned rows = elem.cls == TypeClass::Matrix ? elem.rows : 1;
    unsigned width = elem.cls == TypeClass::Matrix ? elem.columns : elem.NumericCount();
    if (elem.cls == TypeClass::Struct || width > 4) {
        diagnostics_.Error(at, 3502, "'" + name + "': type cannot carry a semantic");
        return false;
    }
    std::size_t k = first;
    for (unsigned g = 0; g < groups; ++g)
        for (unsigned r = 0; r < rows; ++r) {
            Leaf leaf{usage, index++, {}};
            for (unsigned c = 0; c < width; ++c) leaf.regs.push_back(regs[k++]);
            out.push_back(std::move(leaf));
        }
    return true;
}

void CodeGenerator::CollectStatics(const Expr* e, std::set<const Variable*>& out,
                                   std::set<const Function*>& seen) {
    if (e == nullptr)
        return;
    if (e->kind == ExprKind::Variable && e->var->storage == Storage::Static)
        out.insert(e->var);
    if (e->kind == ExprKind::Call && seen.insert(e->function).second)
        CollectStatics(e->function->body.get(), out, seen);
    for (const ExprPtr& a : e->args) CollectStatics(a.get(), out, seen);
}

void CodeGenerator::CollectStatics(const Stmt* s, std::set<const Variable*>& out,
                                   std::set<const Function*>& seen) {
    if (s == nullptr)
        return;
    for (const StmtPtr& b : s->body) CollectStatics(b.get(), out, seen);
    if (s->var != nullptr)
        CollectStatics(s->var->init.get(), out, seen);
    CollectStatics(s->expr.get(), out, seen);
    CollectStatics(s->init.get(), out, seen);
    CollectStatics(s->step.get(), out, seen);
    CollectStatics(s->then.get(), out, seen);
    CollectStatics(s->otherwise.get(), out, seen);
}

std::shared_ptr<Program> CodeGenerator::Generate(const ProgramRequest& request) {
    program_ = std::make_shared<Program>();
    program_->kind = request.kind;
    program_->profile = request.profile;
    program_->entry = request.function->name;
    failed_ = false;
    tempTop_ = tempMax_ = constCount_ = inputSlots_ = 0;
    literalRegs_.clear();
    literalValues_.clear();
    uniformRegs_.clear();
    arrayBuffers_.clear();
    vars_.clear();
    samplerArgs_.clear();
    aliases_.clear();
    inputSlotOf_.clear();
    frames_.clear();
    masked_ = false;
    int errorsBefore = diagnostics_.ErrorCount();

    Function* fn = request.function;
    const SourceLocation& at = fn->location;
    Frame frame;
    frame.ret = Temps(fn->returnType.Components());
    for (std::uint32_t r : frame.ret) EmitTo(Op::Mov, r, Literal(0.0f));

    // Static globals start from their initialisers on every run.
    std::set<const Variable*> statics;
    std::set<const Function*> seen{fn};
    CollectStatics(fn->body.get(), statics, seen);
    for (const Variable* v : statics) Declare(v);

    std::vector<Leaf> inputs, outputs;
    std::size_t uniformArg = 0;
    std::vector<std::pair<Variable*, Regs>> outParams;
    for (Variable* p : fn->params) {
        if (p->uniformParam) {
            const std::vector<double>& v = request.arguments[uniformArg++];
            Regs regs;
            for (double d : v) regs.push_back(Literal(static_cast<float>(d)));
            vars_[p] = regs;
            continue;
        }
        if (p->type.cls == TypeClass::Sampler) {
            diagnostics_.Error(p->location, 3502,
                               "'" + p->name + "': a sampler entry parameter must be uniform");
            return nullptr;
        }
        std::uint32_t n = p->type.Components();
        Regs regs(n, 0);
        if (p->direction != ParamDirection::Out) {
            // Inputs live in their semantic's four registers.
            Regs placeholder(n);
            for (std::uint32_t i = 0; i < n; ++i) placeholder[i] = i;
            std::vector<Leaf> leaves;
            if (!Leaves(p->type, p->semantic, placeholder, 0, leaves, p->location, p->name))
                return nullptr;
            for (Leaf& leaf : leaves) {
                auto key = std::make_pair(leaf.usage, leaf.index);
                auto f = inputSlotOf_.find(key);
                std::uint32_t slot;
                if (f == inputSlotOf_.end()) {
                    slot = inputSlots_++;
                    inputSlotOf_[key] = slot;
                    Leaf in{leaf.usage, leaf.index, {}};
                    for (std::uint32_t c = 0; c < 4; ++c)
                        in.regs.push_back(kInputBit | (slot * 4 + c));
                    inputs.push_back(std::move(in));
                } else {
                    slot = f->second;
                }
                for (std::size_t c = 0; c < leaf.regs.size(); ++c)
                    regs[leaf.regs[c]] = kInputBit | (slot * 4 + static_cast<std::uint32_t>(c));
                for (Leaf& in : inputs)
                    if (in.usage == leaf.usage && in.index == leaf.index && in.regs.size() == 4)
                        in.regs.push_back(
                            static_cast<std::uint32_t>(leaf.regs.size()));  // width marker
            }
            // The input registers are the caller's: a parameter the body writes gets a copy.
            if (p->direction == ParamDirection::InOut || AssignsTo(fn->body.get(), p)) {
                Regs copy = Temps(n);
                for (std::uint32_t i = 0; i < n; ++i) EmitTo(Op::Mov, copy[i], regs[i]);
                regs = copy;
                if (p->direction == ParamDirection::InOut)
                    outParams.push_back({p, copy});
            }
        } else {
            regs = Temps(n);
            for (std::uint32_t r : regs) EmitTo(Op::Mov, r, Literal(0.0f));
            outParams.push_back({p, regs});
        }
        vars_[p] = regs;
    }
    if (HasEarlyReturn(fn->body.get(), true)) {
        frame.tracksReturn = true;
        frame.returned = Temp();
        EmitTo(Op::Mov, frame.returned, Literal(0.0f));
    }
    fn->inProgress = true;
    frames_.push_back(&frame);
    EmitStatement(fn->body.get());
    frames_.pop_back();
    fn->inProgress = false;
    if (failed_ || diagnostics_.ErrorCount() != errorsBefore)
        return nullptr;

    if (fn->returnType.cls != TypeClass::Void &&
        !Leaves(fn->returnType, fn->semantic, frame.ret, 0, outputs, at, fn->name))
        return nullptr;
    for (auto& o : outParams)
        if (!Leaves(o.first->type, o.first->semantic, o.second, 0, outputs, o.first->location,
                    o.first->name))
            return nullptr;
    for (const Leaf& o : outputs) {
        bool ok =
            request.kind == ProgramKind::Vertex
                ? (o.usage == Usage::Position || o.usage == Usage::Color ||
                   o.usage == Usage::TexCoord || o.usage == Usage::Fog || o.usage == Usage::PSize)
                : (o.usage == Usage::Color || o.usage == Usage::Depth);
        if (!ok) {
            diagnostics_.Error(at, 4502, "invalid " + request.profile + " output semantic");
            return nullptr;
        }
    }
    return Finish(inputs, outputs);
}

std::shared_ptr<Program> CodeGenerator::Finish(const std::vector<Leaf>& inputs,
                                               const std::vector<Leaf>& outputs) {
    Program& p = *program_;
    tempMax_ = std::max<std::uint32_t>(tempMax_, 1);
    std::uint32_t inputBase = constCount_;
    std::uint32_t tempBase = inputBase + inputSlots_ * 4;
    auto map = [&](std::uint32_t r) {
        if ((r & kConstBit) != 0)
            return r & kIndexMask;
        if ((r & kInputBit) != 0)
            return inputBase + (r & kIndexMask);
        return tempBase + r;
    };
    for (Instruction& in : p.code) {
        in.dst = map(in.dst);
        switch (in.op) {
            case Op::GatherConst:
                in.a = map(in.a);
                break;
            case Op::GatherReg:
                in.a = map(in.a);
                in.b = map(in.b);
                break;
            case Op::Sample:
                in.a = in.c = in.dst;
                break;
            default:
                in.a = map(in.a);
                in.b = map(in.b);
                in.c = map(in.c);
                break;
        }
    }
    for (SampleOp& s : p.samples) {
        for (int k = 0; k < 4; ++k) {
            s.coord[k] = map(s.coord[k]);
            s.out[k] = map(s.out[k]);
        }
        s.lodRegister = map(s.lodRegister);
    }
    for (Hlsl::Literal& l : p.literals) l.reg = map(l.reg);
    for (ConstantLoad& c : p.constants) c.reg = map(c.reg);
    for (const Leaf& in : inputs) {
        ProgramInput pi;
        pi.usage = in.usage;
        pi.usageIndex = static_cast<std::uint8_t>(in.index);
        pi.firstRegister = map(in.regs[0]);
        std::uint32_t width = 0;
        for (std::size_t k = 4; k < in.regs.size(); ++k) width = std::max(width, in.regs[k]);
        pi.components = static_cast<std::uint8_t>(width == 0 ? 4 : width);
        p.inputs.push_back(pi);
    }
    for (const Leaf& out : outputs) {
        ProgramOutput po;
        po.usage = out.usage;
        po.usageIndex = static_cast<std::uint8_t>(out.index);
        po.components = static_cast<std::uint8_t>(out.regs.size());
        for (int k = 0; k < 4; ++k)
            po.registers[k] = map(out.regs[std::min<std::size_t>(k, out.regs.size() - 1)]);
        p.outputs.push_back(po);
    }
    p.constantRegisters = constCount_;
    p.registerCount = tempBase + tempMax_;
    ProgramOptimizer::Run(p);
    return std::move(program_);
}

}  // namespace Hlsl
