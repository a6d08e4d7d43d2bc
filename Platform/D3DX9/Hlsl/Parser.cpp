#include "Platform/D3DX9/Hlsl/Parser.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstring>
#include <functional>

#include "Platform/D3DX9/Hlsl/OperatorPrecedence.h"

namespace Hlsl {

namespace {

constexpr std::uint64_t kMaxComponents = 1u << 20;
constexpr int kMaxNesting = 200;

bool EqualNoCase(const std::string& a, const char* b) {
    std::size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// "float4x3" and friends; "float1" and "float1x1" are scalars.
bool NumericTypeFromName(const std::string& name, Type& out) {
    static const struct {
        const char* prefix;
        BaseType base;
    } kBases[] = {{"bool", BaseType::Bool},   {"int", BaseType::Int},    {"uint", BaseType::UInt},
                  {"dword", BaseType::UInt},  {"half", BaseType::Float}, {"float", BaseType::Float},
                  {"double", BaseType::Float}};
    for (const auto& b : kBases) {
        std::size_t n = std::strlen(b.prefix);
        if (name.compare(0, n, b.prefix) != 0)
            continue;
        std::string rest = name.substr(n);
        if (rest.empty()) {
            out = Type::Scalar(b.base);
            return true;
        }
        if (rest.size() == 1 && rest[0] >= '1' && rest[0] <= '4') {
            unsigned c = static_cast<unsigned>(rest[0] - '0');
            out = c == 1 ? Type::Scalar(b.base) : Type::Vector(b.base, c);
            return true;
        }
        if (rest.size() == 3 && rest[0] >= '1' && rest[0] <= '4' && rest[1] == 'x' &&
            rest[2] >= '1' && rest[2] <= '4') {
            unsigned r = static_cast<unsigned>(rest[0] - '0'),
                     c = static_cast<unsigned>(rest[2] - '0');
            out = (r == 1 && c == 1) ? Type::Scalar(b.base) : Type::Matrix(b.base, r, c);
            return true;
        }
        return false;
    }
    return false;
}

bool ObjectTypeFromName(const std::string& name, Type& out) {
    static const struct {
        const char* name;
        TypeClass cls;
        ObjectDim dim;
    } kObjects[] = {{"texture", TypeClass::Texture, ObjectDim::Generic},
                    {"texture1D", TypeClass::Texture, ObjectDim::D1},
                    {"texture2D", TypeClass::Texture, ObjectDim::D2},
                    {"texture3D", TypeClass::Texture, ObjectDim::D3},
                    {"textureCUBE", TypeClass::Texture, ObjectDim::Cube},
                    {"sampler", TypeClass::Sampler, ObjectDim::Generic},
                    {"sampler1D", TypeClass::Sampler, ObjectDim::D1},
                    {"sampler2D", TypeClass::Sampler, ObjectDim::D2},
                    {"sampler3D", TypeClass::Sampler, ObjectDim::D3},
                    {"samplerCUBE", TypeClass::Sampler, ObjectDim::Cube},
                    {"string", TypeClass::String, ObjectDim::Generic}};
    for (const auto& o : kObjects)
        if (EqualNoCase(name, o.name)) {
            out = Type{};
            out.cls = o.cls;
            out.dim = o.dim;
            return true;
        }
    return false;
}

bool IsKeywordType(const std::string& name) {
    Type t;
    return name == "void" || name == "vector" || name == "matrix" || NumericTypeFromName(name, t) ||
           ObjectTypeFromName(name, t);
}

ParameterType ParameterTypeOf(const Type& t) {
    switch (t.cls) {
        case TypeClass::Scalar:
        case TypeClass::Vector:
        case TypeClass::Matrix:
            return t.base == BaseType::Bool    ? ParameterType::Bool
                   : t.base == BaseType::Float ? ParameterType::Float
                                               : ParameterType::Int;
        case TypeClass::String:
            return ParameterType::String;
        case TypeClass::Texture:
            switch (t.dim) {
                case ObjectDim::D1:
                    return ParameterType::Texture1D;
                case ObjectDim::D2:
                    return ParameterType::Texture2D;
                case ObjectDim::D3:
                    return ParameterType::Texture3D;
                case ObjectDim::Cube:
                    return ParameterType::TextureCube;
                default:
                    return ParameterType::Texture;
            }
        case TypeClass::Sampler:
            switch (t.dim) {
                case ObjectDim::D1:
                    return ParameterType::Sampler1D;
                case ObjectDim::D2:
                    return ParameterType::Sampler2D;
                case ObjectDim::D3:
                    return ParameterType::Sampler3D;
                case ObjectDim::Cube:
                    return ParameterType::SamplerCube;
                default:
                    return ParameterType::Sampler;
            }
        default:
            return ParameterType::Void;
    }
}

std::uint32_t WordOf(double v, BaseType base) {
    switch (base) {
        case BaseType::Float:
            return std::bit_cast<std::uint32_t>(static_cast<float>(v));
        case BaseType::Bool:
            return v != 0.0 ? 1u : 0u;
        default: {
            if (!(v == v))
                return 0;
            double t = std::trunc(v);
            if (t >= 2147483647.0)
                return base == BaseType::UInt && t <= 4294967295.0 ? static_cast<std::uint32_t>(t)
                                                                   : 0x7FFFFFFFu;
            if (t <= -2147483648.0)
                return 0x80000000u;
            return static_cast<std::uint32_t>(static_cast<std::int32_t>(t));
        }
    }
}

double ConvertScalar(double v, BaseType to) {
    switch (to) {
        case BaseType::Bool:
            return v != 0.0 ? 1.0 : 0.0;
        case BaseType::Int:
        case BaseType::UInt:
            return std::trunc(v);
        default:
            return static_cast<double>(static_cast<float>(v));
    }
}

// Components of a numeric value that a conversion to "to" keeps, in order: element [r][c] of a
// matrix keeps [r][c]; a vector keeps its first components; a scalar source is repeated.
void ConversionMap(const Type& from, const Type& to, std::vector<unsigned>& map) {
    map.clear();
    unsigned n = to.NumericCount();
    if (from.NumericCount() == 1) {
        map.assign(n, 0);
        return;
    }
    if (to.cls == TypeClass::Matrix && from.cls == TypeClass::Matrix) {
        for (unsigned r = 0; r < to.rows; ++r)
            for (unsigned c = 0; c < to.columns; ++c) map.push_back(r * from.columns + c);
        return;
    }
    for (unsigned i = 0; i < n; ++i) map.push_back(i);
}

struct IntrinsicInfo {
    const char* name;
    Intrinsic id;
    int minArgs, maxArgs;
};

const IntrinsicInfo kIntrinsics[] = {
    {"abs", Intrinsic::Abs, 1, 1},
    {"acos", Intrinsic::Acos, 1, 1},
    {"all", Intrinsic::All, 1, 1},
    {"any", Intrinsic::Any, 1, 1},
    {"asin", Intrinsic::Asin, 1, 1},
    {"atan", Intrinsic::Atan, 1, 1},
    {"atan2", Intrinsic::Atan2, 2, 2},
    {"ceil", Intrinsic::Ceil, 1, 1},
    {"clamp", Intrinsic::Clamp, 3, 3},
    {"clip", Intrinsic::Clip, 1, 1},
    {"cos", Intrinsic::Cos, 1, 1},
    {"cross", Intrinsic::Cross, 2, 2},
    {"ddx", Intrinsic::Ddx, 1, 1},
    {"ddy", Intrinsic::Ddy, 1, 1},
    {"degrees", Intrinsic::Degrees, 1, 1},
    {"distance", Intrinsic::Distance, 2, 2},
    {"dot", Intrinsic::Dot, 2, 2},
    {"exp", Intrinsic::Exp, 1, 1},
    {"exp2", Intrinsic::Exp2, 1, 1},
    {"floor", Intrinsic::Floor, 1, 1},
    {"fmod", Intrinsic::Fmod, 2, 2},
    {"frac", Intrinsic::Frac, 1, 1},
    {"fwidth", Intrinsic::Fwidth, 1, 1},
    {"length", Intrinsic::Length, 1, 1},
    {"lerp", Intrinsic::Lerp, 3, 3},
    {"lit", Intrinsic::Lit, 3, 3},
    {"log", Intrinsic::Log, 1, 1},
    {"log10", Intrinsic::Log10, 1, 1},
    {"log2", Intrinsic::Log2, 1, 1},
    {"max", Intrinsic::Max, 2, 2},
    {"min", Intrinsic::Min, 2, 2},
    {"mul", Intrinsic::Mul, 2, 2},
    {"normalize", Intrinsic::Normalize, 1, 1},
    {"pow", Intrinsic::Pow, 2, 2},
    {"radians", Intrinsic::Radians, 1, 1},
    {"rcp", Intrinsic::Rcp, 1, 1},
    {"reflect", Intrinsic::Reflect, 2, 2},
    {"round", Intrinsic::Round, 1, 1},
    {"rsqrt", Intrinsic::Rsqrt, 1, 1},
    {"saturate", Intrinsic::Saturate, 1, 1},
    {"sign", Intrinsic::Sign, 1, 1},
    {"sin", Intrinsic::Sin, 1, 1},
    {"smoothstep", Intrinsic::Smoothstep, 3, 3},
    {"sqrt", Intrinsic::Sqrt, 1, 1},
    {"step", Intrinsic::Step, 2, 2},
    {"tan", Intrinsic::Tan, 1, 1},
    {"transpose", Intrinsic::Transpose, 1, 1},
    {"trunc", Intrinsic::Trunc, 1, 1},
    {"tex1D", Intrinsic::Tex1D, 2, 2},
    {"tex2D", Intrinsic::Tex2D, 2, 2},
    {"tex2Dproj", Intrinsic::Tex2Dproj, 2, 2},
    {"tex2Dlod", Intrinsic::Tex2Dlod, 2, 2},
    {"tex2Dbias", Intrinsic::Tex2Dbias, 2, 2},
    {"tex3D", Intrinsic::Tex3D, 2, 2},
    {"texCUBE", Intrinsic::TexCUBE, 2, 2},
    {"texCUBElod", Intrinsic::TexCUBElod, 2, 2},
    {"texCUBEbias", Intrinsic::TexCUBEbias, 2, 2},
    {"texCUBEproj", Intrinsic::TexCUBEproj, 2, 2},
};

const IntrinsicInfo* FindIntrinsic(const std::string& name) {
    for (const IntrinsicInfo& i : kIntrinsics)
        if (name == i.name)
            return &i;
    return nullptr;
}

const char* const kVertexProfiles[] = {"vs_1_1",  "vs_2_0", "vs_2_a",
                                       "vs_2_sw", "vs_3_0", "vs_3_sw"};
const char* const kPixelProfiles[] = {"ps_1_1", "ps_1_2", "ps_1_3",  "ps_1_4", "ps_2_0",
                                      "ps_2_a", "ps_2_b", "ps_2_sw", "ps_3_0", "ps_3_sw"};

bool ProfileIn(const std::string& p, const char* const* list, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (p == list[i])
            return true;
    return false;
}

bool IsAssignOp(const Token& t) {
    static const char* const ops[] = {"=", "+=", "-=", "*=", "/=", "%="};
    if (t.kind != TokenKind::Punct)
        return false;
    for (const char* o : ops)
        if (t.text == o)
            return true;
    return false;
}

}  // namespace

Parser::Parser(std::vector<Token> tokens, Diagnostics& diagnostics)
    : tokens_(std::move(tokens)), diagnostics_(diagnostics) {
    end_.kind = TokenKind::End;
    if (tokens_.empty() || tokens_.back().kind != TokenKind::End)
        tokens_.push_back(end_);
    end_.location = tokens_.back().location;
    scopes_.emplace_back();
}

// ---------------------------------------------------------------------------------------------
// Tokens

const Token& Parser::Peek(std::size_t ahead) const {
    if (aborted_)
        return end_;
    std::size_t i = std::min(pos_ + ahead, tokens_.size() - 1);
    return tokens_[i];
}

const Token& Parser::Next() {
    const Token& t = Peek();
    if (!aborted_ && pos_ < tokens_.size() - 1)
        ++pos_;
    return t;
}

bool Parser::Accept(const char* spelling) {
    const Token& t = Peek();
    if (t.kind != TokenKind::String && t.kind != TokenKind::End && t.text == spelling) {
        Next();
        return true;
    }
    return false;
}

bool Parser::Expect(const char* spelling) {
    if (Accept(spelling))
        return true;
    SyntaxError(Peek());
    return false;
}

std::string Parser::ExpectIdentifier() {
    if (Peek().kind == TokenKind::Identifier)
        return Next().text;
    SyntaxError(Peek());
    return std::string();
}

void Parser::SyntaxError(const Token& at) {
    if (aborted_)
        return;
    if (at.kind == TokenKind::End)
        diagnostics_.Error(at.location, 3000, "syntax error: unexpected end of file");
    else
        diagnostics_.Error(at.location, 3000, "syntax error: unexpected token '" + at.text + "'");
    // Syntax errors leave the parser lost; stop here rather than report a cascade.
    aborted_ = true;
}

// ---------------------------------------------------------------------------------------------
// Scopes

void Parser::PushScope() {
    scopes_.emplace_back();
}
void Parser::PopScope() {
    scopes_.pop_back();
}

Parser::Symbol* Parser::Lookup(const std::string& name) {
    for (auto s = scopes_.rbegin(); s != scopes_.rend(); ++s) {
        auto f = s->find(name);
        if (f != s->end())
            return &f->second;
    }
    return nullptr;
}

bool Parser::Declare(const std::string& name, Variable* var, const SourceLocation& at) {
    auto& scope = scopes_.back();
    auto f = scope.find(name);
    if (f != scope.end() && (f->second.var != nullptr || !f->second.functions.empty() ||
                             f->second.structDef != nullptr)) {
        diagnostics_.Error(at, 3003, "redefinition of '" + name + "'");
        return false;
    }
    scope[name].var = var;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Types

bool Parser::IsTypeStart(std::size_t ahead) const {
    const Token& t = Peek(ahead);
    if (t.kind != TokenKind::Identifier)
        return false;
    if (t.text == "struct")
        return true;
    if (IsKeywordType(t.text))
        return true;
    for (auto s = scopes_.rbegin(); s != scopes_.rend(); ++s) {
        auto f = s->find(t.text);
        if (f != s->end())
            return f->second.structDef != nullptr && f->second.var == nullptr;
    }
    return false;
}

bool Parser::ParseType(Type& out) {
    const Token& t = Peek();
    if (t.kind != TokenKind::Identifier) {
        SyntaxError(t);
        return false;
    }
    std::string name = t.text;
    SourceLocation at = t.location;
    if (name == "struct") {
        Next();
        if (Peek(1).IsPunct("{")) {
            StructDef* def = nullptr;
            StructDefinition(def);
            if (def == nullptr)
                return false;
            out = Type{};
            out.cls = TypeClass::Struct;
            out.structDef = def;
            return true;
        }
        name = Peek().text;
        at = Peek().location;
    }
    Next();
    if (name == "void") {
        out = Type::Void();
        return true;
    }
    if (name == "vector" || name == "matrix") {
        bool isVector = name == "vector";
        out = isVector ? Type::Vector(BaseType::Float, 4) : Type::Matrix(BaseType::Float, 4, 4);
        if (Accept("<")) {
            Type base;
            if (Peek().kind != TokenKind::Identifier || !NumericTypeFromName(Peek().text, base) ||
                base.cls != TypeClass::Scalar) {
                SyntaxError(Peek());
                return false;
            }
            Next();
            unsigned dims[2] = {1, 1};
            for (int k = 0; k < (isVector ? 1 : 2); ++k) {
                if (!Expect(","))
                    return false;
                if (Peek().kind != TokenKind::Integer || Peek().number < 1 || Peek().number > 4) {
                    SyntaxError(Peek());
                    return false;
                }
                dims[k] = static_cast<unsigned>(Next().number);
            }
            if (!Expect(">"))
                return false;
            if (isVector)
                out = dims[0] == 1 ? Type::Scalar(base.base) : Type::Vector(base.base, dims[0]);
            else
                out = (dims[0] == 1 && dims[1] == 1) ? Type::Scalar(base.base)
                                                     : Type::Matrix(base.base, dims[0], dims[1]);
        }
        return true;
    }
    if (NumericTypeFromName(name, out) || ObjectTypeFromName(name, out))
        return true;
    Symbol* s = Lookup(name);
    if (s != nullptr && s->structDef != nullptr && s->var == nullptr) {
        out = Type{};
        out.cls = TypeClass::Struct;
        out.structDef = s->structDef;
        return true;
    }
    diagnostics_.Error(at, 3000, "unrecognized identifier '" + name + "'");
    aborted_ = true;
    return false;
}

bool Parser::ParseArraySuffix(Type& t) {
    if (!Peek().IsPunct("["))
        return true;
    SourceLocation at = Peek().location;
    Next();
    ExprPtr size = Conditional();
    std::vector<double> v;
    if (!Expect("]"))
        return false;
    if (size == nullptr || !EvaluateConstant(size.get(), v) || v.size() != 1 || v[0] < 1 ||
        v[0] > 65536 || v[0] != std::floor(v[0])) {
        diagnostics_.Error(at, 3058, "array dimensions must be literal scalar expressions");
        return false;
    }
    if (t.arraySize != 0 || Peek().IsPunct("[")) {
        diagnostics_.Error(at, 3000, "arrays of more than one dimension are not supported");
        return false;
    }
    if (static_cast<std::uint64_t>(t.Components()) * static_cast<std::uint64_t>(v[0]) >
        kMaxComponents) {
        diagnostics_.Error(at, 3000, "array is too large");
        aborted_ = true;
        return false;
    }
    t.arraySize = static_cast<std::uint32_t>(v[0]);
    return true;
}

Parser::Modifiers Parser::ParseModifiers() {
    Modifiers m;
    while (Peek().kind == TokenKind::Identifier) {
        const std::string& w = Peek().text;
        if (w == "static")
            m.isStatic = true;
        else if (w == "uniform")
            m.isUniform = true;
        else if (w == "const")
            m.isConst = true;
        else if (w == "in")
            m.in = true;
        else if (w == "out")
            m.out = true;
        else if (w == "inout")
            m.in = m.out = true;
        else if (w == "row_major")
            m.rowMajor = true;
        else if (w == "extern" || w == "shared" || w == "volatile" || w == "column_major" ||
                 w == "inline" || w == "precise" || w == "linear" || w == "centroid" ||
                 w == "nointerpolation" || w == "noperspective") {
            // Packing and interpolation hints change nothing in a program run on the CPU.
        } else {
            break;
        }
        Next();
    }
    return m;
}

void Parser::ParseSemantic(std::string& semantic) {
    while (Peek().IsPunct(":")) {
        Next();
        if (Peek().Is("register") || Peek().Is("packoffset")) {
            Next();
            if (!Expect("("))
                return;
            while (!Peek().IsPunct(")") && Peek().kind != TokenKind::End) Next();
            Expect(")");
            continue;
        }
        semantic = ExpectIdentifier();
    }
}

// ---------------------------------------------------------------------------------------------
// Declarations

void Parser::Run() {
    while (Peek().kind != TokenKind::End) TopLevel();
}

void Parser::TopLevel() {
    const Token& t = Peek();
    if (t.IsPunct(";")) {
        Next();
        return;
    }
    if (t.Is("technique") || t.Is("technique9") || t.Is("Technique")) {
        TechniqueDefinition();
        return;
    }
    if (t.Is("struct") && Peek(1).kind == TokenKind::Identifier && Peek(2).IsPunct("{")) {
        Next();
        StructDef* def = nullptr;
        StructDefinition(def);
        if (def == nullptr || Accept(";"))
            return;
        Type type;
        type.cls = TypeClass::Struct;
        type.structDef = def;
        SourceLocation at = Peek().location;
        std::string name = ExpectIdentifier();
        GlobalDeclarators(type, name, Modifiers{}, at);
        return;
    }
    if (t.kind != TokenKind::Identifier) {
        SyntaxError(t);
        return;
    }
    Modifiers mods = ParseModifiers();
    Type type;
    if (!ParseType(type))
        return;
    SourceLocation at = Peek().location;
    std::string name = ExpectIdentifier();
    if (aborted_)
        return;
    if (Peek().IsPunct("(")) {
        FunctionDefinition(type, name, at);
        return;
    }
    GlobalDeclarators(type, name, mods, at);
}

void Parser::StructDefinition(StructDef*& out) {
    // At the struct's name.
    SourceLocation at = Peek().location;
    std::string name = ExpectIdentifier();
    if (!Expect("{"))
        return;
    auto def = std::make_unique<StructDef>();
    def->name = name;
    while (!aborted_ && !Peek().IsPunct("}")) {
        ParseModifiers();
        Type mt;
        if (!ParseType(mt))
            return;
        do {
            StructMember m;
            m.name = ExpectIdentifier();
            m.type = mt;
            if (!ParseArraySuffix(m.type))
                return;
            ParseSemantic(m.semantic);
            if (m.type.cls == TypeClass::Void) {
                diagnostics_.Error(at, 3038,
                                   "'" + m.name + "': void struct members are not allowed");
            }
            if (def->Find(m.name) != nullptr)
                diagnostics_.Error(at, 3003, "redefinition of '" + m.name + "'");
            m.offset = def->components;
            if (static_cast<std::uint64_t>(def->components) + m.type.Components() >
                kMaxComponents) {
                diagnostics_.Error(at, 3000, "'" + name + "': struct is too large");
                aborted_ = true;
                return;
            }
            def->components += m.type.Components();
            def->members.push_back(std::move(m));
        } while (Accept(","));
        if (!Expect(";"))
            return;
    }
    if (!Expect("}"))
        return;
    auto& scope = scopes_.back();
    if (scope.count(name) != 0) {
        diagnostics_.Error(at, 3003, "redefinition of '" + name + "'");
        return;
    }
    scope[name].structDef = def.get();
    out = def.get();
    structs_.push_back(std::move(def));
}

void Parser::FillParameter(Parameter& p, const Type& t, std::uint32_t offset) {
    p.elements = t.arraySize;
    p.offset = offset;
    p.words = t.Components();
    p.type = ParameterTypeOf(t);
    switch (t.cls) {
        case TypeClass::Scalar:
            p.cls = ParameterClass::Scalar;
            break;
        case TypeClass::Vector:
            p.cls = ParameterClass::Vector;
            p.columns = t.columns;
            break;
        case TypeClass::Matrix:
            // Column-major packing is the default; row_major on the declaration changes it.
            p.cls = ParameterClass::MatrixColumns;
            p.rows = t.rows;
            p.columns = t.columns;
            break;
        case TypeClass::Struct:
            p.cls = ParameterClass::Struct;
            p.type = ParameterType::Void;
            p.rows = p.columns = 0;
            for (const StructMember& m : t.structDef->members) {
                Parameter mp;
                mp.name = m.name;
                mp.semantic = m.semantic;
                FillParameter(mp, m.type, offset + m.offset);
                p.members.push_back(std::move(mp));
            }
            break;
        default:
            p.cls = ParameterClass::Object;
            p.rows = p.columns = 0;
            break;
    }
}

void Parser::AddParameter(Variable* var, std::vector<Annotation> annotations,
                          std::vector<StateAssignment> samplerStates) {
    Parameter p;
    p.name = var->name;
    p.semantic = var->semantic;
    var->offset = static_cast<std::uint32_t>(description_.values.size());
    var->parameter = static_cast<std::int32_t>(description_.parameters.size());
    FillParameter(p, var->type, var->offset);
    p.annotations = std::move(annotations);
    p.samplerStates = std::move(samplerStates);
    std::vector<std::uint32_t> words(var->type.Components(), 0);
    if (var->init != nullptr) {
        if (var->type.cls == TypeClass::String && var->init->kind == ExprKind::Literal) {
            p.text = var->init->op;
        } else if (!ConstantWords(var->init.get(), var->type, words)) {
            diagnostics_.Error(var->init->location, 3011,
                               "value cannot be evaluated at compile time");
        }
    }
    description_.values.insert(description_.values.end(), words.begin(), words.end());
    description_.parameters.push_back(std::move(p));
}

bool Parser::ConstantWords(const Expr* init, const Type& t, std::vector<std::uint32_t>& words) {
    std::vector<double> v;
    if (!EvaluateConstant(init, v) || v.size() != t.Components())
        return false;
    std::vector<BaseType> bases;
    ComponentBases(t, bases);
    for (std::size_t i = 0; i < v.size() && i < bases.size(); ++i)
        words[i] = WordOf(v[i], bases[i]);
    return true;
}

void Parser::GlobalDeclarators(const Type& baseType, std::string name, const Modifiers& mods,
                               SourceLocation at) {
    while (!aborted_) {
        auto var = std::make_unique<Variable>();
        var->name = name;
        var->type = baseType;
        var->location = at;
        var->isConst = mods.isConst;
        var->storage = mods.isStatic ? Storage::Static : Storage::Uniform;
        if (!ParseArraySuffix(var->type))
            return;
        ParseSemantic(var->semantic);
        std::vector<Annotation> annotations;
        if (Peek().IsPunct("<"))
            Annotations(annotations);
        std::vector<StateAssignment> samplerStates;
        if (var->type.cls == TypeClass::Void) {
            diagnostics_.Error(at, 3038, "'" + name + "': variables cannot be void");
            aborted_ = true;
            return;
        }
        if (Accept("=")) {
            if (Peek().Is("sampler_state")) {
                Next();
                if (var->type.cls != TypeClass::Sampler) {
                    diagnostics_.Error(at, 3020,
                                       "'" + name + "': sampler_state needs a sampler type");
                }
                SamplerStateBlock(samplerStates);
            } else if (Peek().IsPunct("{")) {
                var->init = InitializerList(var->type);
            } else if (var->type.cls == TypeClass::String && Peek().kind == TokenKind::String) {
                auto lit = std::make_unique<Expr>();
                lit->kind = ExprKind::Literal;
                lit->type.cls = TypeClass::String;
                lit->op = Next().text;
                var->init = std::move(lit);
            } else {
                ExprPtr e = Assignment();
                if (e != nullptr)
                    var->init = Convert(std::move(e), var->type, false);
            }
        }
        if (aborted_)
            return;
        Variable* v = var.get();
        if (v->storage == Storage::Static && v->isConst && v->init != nullptr)
            EvaluateConstant(v->init.get(), v->constValue);
        variables_.push_back(std::move(var));
        if (Declare(name, v, at) && v->storage == Storage::Uniform) {
            AddParameter(v, std::move(annotations), std::move(samplerStates));
            if (mods.rowMajor && v->type.cls == TypeClass::Matrix)
                description_.parameters.back().cls = ParameterClass::MatrixRows;
        }
        if (Accept(";"))
            return;
        if (!Expect(","))
            return;
        at = Peek().location;
        name = ExpectIdentifier();
    }
}

void Parser::Annotations(std::vector<Annotation>& out) {
    Expect("<");
    while (!aborted_ && !Peek().IsPunct(">")) {
        Type t;
        if (!ParseType(t))
            return;
        Annotation a;
        a.name = ExpectIdentifier();
        if (!Expect("="))
            return;
        if (t.cls == TypeClass::String) {
            if (Peek().kind != TokenKind::String) {
                SyntaxError(Peek());
                return;
            }
            a.cls = ParameterClass::Object;
            a.type = ParameterType::String;
            a.text = Next().text;
        } else if (t.IsNumeric()) {
            ExprPtr e = Peek().IsPunct("{") ? InitializerList(t) : Convert(Conditional(), t, false);
            a.type = ParameterTypeOf(t);
            a.cls = t.cls == TypeClass::Scalar   ? ParameterClass::Scalar
                    : t.cls == TypeClass::Vector ? ParameterClass::Vector
                                                 : ParameterClass::MatrixRows;
            a.rows = t.cls == TypeClass::Matrix ? t.rows : 1;
            a.columns = t.columns;
            a.words.assign(t.Components(), 0);
            if (e == nullptr || !ConstantWords(e.get(), t, a.words))
                diagnostics_.Error(Peek().location, 3011, "annotation value must be a literal");
        } else {
            diagnostics_.Error(Peek().location, 3000, "annotations take strings and numbers only");
            aborted_ = true;
            return;
        }
        out.push_back(std::move(a));
        if (!Expect(";"))
            return;
    }
    Expect(">");
}

void Parser::SamplerStateBlock(std::vector<StateAssignment>& out) {
    if (!Expect("{"))
        return;
    while (!aborted_ && !Peek().IsPunct("}")) {
        const Token& nameTok = Next();
        const StateInfo* info = EffectStateTable::FindSamplerState(nameTok.text);
        if (info == nullptr) {
            diagnostics_.Error(nameTok.location, 3000,
                               "unrecognized sampler state '" + nameTok.text + "'");
            aborted_ = true;
            return;
        }
        if (!Expect("="))
            return;
        StateAssignment s;
        s.kind = info->kind;
        s.code = info->code;
        s.valueType = info->valueType;
        if (!StateValueExpression(*info, s, true))
            return;
        out.push_back(std::move(s));
        if (!Expect(";"))
            return;
    }
    Expect("}");
}

void Parser::TechniqueDefinition() {
    Next();
    Technique tech;
    if (Peek().kind == TokenKind::Identifier)
        tech.name = Next().text;
    if (Peek().IsPunct("<"))
        Annotations(tech.annotations);
    if (!Expect("{"))
        return;
    while (!aborted_ && !Peek().IsPunct("}")) {
        if (!Peek().Is("pass")) {
            SyntaxError(Peek());
            return;
        }
        Next();
        Pass pass;
        if (Peek().kind == TokenKind::Identifier)
            pass.name = Next().text;
        if (Peek().IsPunct("<"))
            Annotations(pass.annotations);
        PassDefinition(pass);
        tech.passes.push_back(std::move(pass));
    }
    Expect("}");
    Accept(";");
    if (!aborted_)
        description_.techniques.push_back(std::move(tech));
}

void Parser::PassDefinition(Pass& pass) {
    if (!Expect("{"))
        return;
    while (!aborted_ && !Peek().IsPunct("}")) {
        const Token& nameTok = Next();
        if (nameTok.kind != TokenKind::Identifier) {
            SyntaxError(nameTok);
            return;
        }
        const StateInfo* info = EffectStateTable::FindPassState(nameTok.text);
        if (info == nullptr) {
            diagnostics_.Error(nameTok.location, 3000, "unrecognized state '" + nameTok.text + "'");
            aborted_ = true;
            return;
        }
        StateAssignment s;
        s.kind = info->kind;
        s.code = info->code;
        s.valueType = info->valueType;
        if (Accept("[")) {
            const Token& idx = Next();
            if (idx.kind != TokenKind::Integer) {
                SyntaxError(idx);
                return;
            }
            if (idx.number > info->maxIndex) {
                diagnostics_.Error(
                    idx.location, 3000,
                    "state '" + nameTok.text + "' index " + idx.text + " is out of range");
                aborted_ = true;
                return;
            }
            s.index = static_cast<std::uint32_t>(idx.number);
            if (!Expect("]"))
                return;
        }
        if (!Expect("="))
            return;
        if (!StateValueExpression(*info, s, false))
            return;
        pass.states.push_back(std::move(s));
        if (!Expect(";"))
            return;
    }
    Expect("}");
}

bool Parser::ParameterReference(StateAssignment& out) {
    // A global parameter, optionally followed by members and constant indices.
    const Token& first = Peek();
    SourceLocation at = first.location;
    std::string path = ExpectIdentifier();
    if (aborted_)
        return false;
    Symbol* sym = Lookup(path);
    Variable* var = sym != nullptr ? sym->var : nullptr;
    if (var == nullptr || var->storage != Storage::Uniform || var->parameter < 0) {
        diagnostics_.Error(at, 3004, "undeclared identifier '" + path + "'");
        aborted_ = true;
        return false;
    }
    Type t = var->type;
    std::uint32_t offset = var->offset;
    while (!aborted_) {
        if (Peek().IsPunct(".") && t.cls == TypeClass::Struct && t.arraySize == 0) {
            Next();
            std::string m = ExpectIdentifier();
            const StructMember* member = t.structDef->Find(m);
            if (member == nullptr) {
                diagnostics_.Error(at, 3018, "invalid subscript '" + m + "'");
                aborted_ = true;
                return false;
            }
            path += "." + m;
            offset += member->offset;
            t = member->type;
        } else if (Peek().IsPunct("[") && t.arraySize != 0) {
            Next();
            const Token& idx = Next();
            if (idx.kind != TokenKind::Integer || idx.number >= t.arraySize) {
                diagnostics_.Error(idx.location, 3504, "array index out of bounds");
                aborted_ = true;
                return false;
            }
            if (!Expect("]"))
                return false;
            path += "[" + idx.text + "]";
            offset += static_cast<std::uint32_t>(idx.number) * t.Element().Components();
            t = t.Element();
        } else {
            break;
        }
    }
    bool ok;
    switch (out.valueType) {
        case StateValueType::Texture:
            ok = t.cls == TypeClass::Texture && t.arraySize == 0;
            break;
        case StateValueType::SamplerObject:
            ok = t.cls == TypeClass::Sampler && t.arraySize == 0;
            break;
        case StateValueType::Program:
            ok = false;
            break;
        default:
            ok = t.IsNumeric();
            break;
    }
    if (!ok) {
        diagnostics_.Error(at, 3020,
                           "'" + path + "': type mismatch for this state (" + t.Name() + ")");
        aborted_ = true;
        return false;
    }
    out.value.kind = StateValue::Kind::Parameter;
    out.value.parameter = static_cast<std::uint32_t>(var->parameter);
    out.value.offset = offset;
    out.value.wordCount = t.Components();
    out.value.parameterType = ParameterTypeOf(t);
    out.value.reference = path;
    return true;
}

bool Parser::ProgramValue(const StateInfo& state, StateAssignment& out) {
    SourceLocation at = Peek().location;
    if (Peek().Is("NULL") || Peek().Is("null") ||
        (Peek().kind == TokenKind::Integer && Peek().number == 0)) {
        Next();
        out.value.kind = StateValue::Kind::Constant;
        out.value.words = {0};
        return true;
    }
    if (!Peek().Is("compile")) {
        diagnostics_.Error(at, 3000,
                           "a shader state takes 'compile profile function(arguments)' or NULL");
        aborted_ = true;
        return false;
    }
    Next();
    const Token& profileTok = Peek();
    std::string profile = ExpectIdentifier();
    bool vertex = state.kind == StateKind::VertexShader;
    bool known = vertex ? ProfileIn(profile, kVertexProfiles, std::size(kVertexProfiles))
                        : ProfileIn(profile, kPixelProfiles, std::size(kPixelProfiles));
    if (!aborted_ && !known) {
        diagnostics_.Error(
            profileTok.location, 3000,
            "'" + profile + "': invalid " + (vertex ? "vertex" : "pixel") + " shader profile");
        aborted_ = true;
        return false;
    }
    const Token& fnTok = Peek();
    std::string fname = ExpectIdentifier();
    std::vector<ExprPtr> args = Arguments();
    if (aborted_)
        return false;
    Symbol* sym = Lookup(fname);
    Function* fn = nullptr;
    if (sym != nullptr) {
        for (Function* f : sym->functions) {
            std::size_t uniforms = 0;
            for (Variable* p : f->params) uniforms += p->uniformParam ? 1 : 0;
            if (uniforms == args.size() && f->body != nullptr) {
                fn = f;
                break;
            }
        }
    }
    if (fn == nullptr) {
        diagnostics_.Error(fnTok.location, 3501, "'" + fname + "': entrypoint not found");
        aborted_ = true;
        return false;
    }
    ProgramRequest req;
    req.kind = vertex ? ProgramKind::Vertex : ProgramKind::Pixel;
    req.profile = profile;
    req.function = fn;
    req.location = fnTok.location;
    std::size_t a = 0;
    for (Variable* p : fn->params) {
        if (!p->uniformParam)
            continue;
        ExprPtr e = Convert(std::move(args[a++]), p->type, false);
        std::vector<double> v;
        if (e == nullptr || !EvaluateConstant(e.get(), v)) {
            diagnostics_.Error(fnTok.location, 3011,
                               "'" + fname + "': compile arguments must be literal values");
            aborted_ = true;
            return false;
        }
        req.arguments.push_back(std::move(v));
    }
    // Techniques often share one program between many passes: compile it once.
    for (std::size_t i = 0; i < requests_.size(); ++i) {
        const ProgramRequest& r = requests_[i];
        if (r.function == req.function && r.profile == req.profile &&
            r.arguments == req.arguments) {
            out.value.kind = StateValue::Kind::Program;
            out.value.program = static_cast<std::uint32_t>(i);
            return true;
        }
    }
    out.value.kind = StateValue::Kind::Program;
    out.value.program = static_cast<std::uint32_t>(requests_.size());
    requests_.push_back(std::move(req));
    return true;
}

bool Parser::StateValueExpression(const StateInfo& state, StateAssignment& out, bool inSampler) {
    (void)inSampler;
    if (state.valueType == StateValueType::Program)
        return ProgramValue(state, out);
    SourceLocation at = Peek().location;
    // <param> and (param): a reference evaluated whenever the pass is applied.
    if (Peek().IsPunct("<") || (Peek().IsPunct("(") && Peek(1).kind == TokenKind::Identifier)) {
        bool angle = Peek().IsPunct("<");
        Symbol* sym = Lookup(Peek(1).text);
        if (angle || (sym != nullptr && sym->var != nullptr)) {
            Next();
            if (!ParameterReference(out))
                return false;
            return Expect(angle ? ">" : ")");
        }
    }
    if (Peek().kind == TokenKind::Identifier) {
        std::uint32_t probe;
        Symbol* sym = Lookup(Peek().text);
        if (!EffectStateTable::FindValue(state, Peek().text, probe) && sym != nullptr &&
            sym->var != nullptr && sym->var->storage == Storage::Uniform)
            return ParameterReference(out);
    }
    if (state.valueType == StateValueType::Texture ||
        state.valueType == StateValueType::SamplerObject) {
        if (Peek().kind == TokenKind::Integer && Peek().number == 0) {
            Next();
            out.value.words = {0};
            return true;
        }
        if (Peek().Is("NULL") || Peek().Is("null")) {
            Next();
            out.value.words = {0};
            return true;
        }
        diagnostics_.Error(at, 3020, "this state takes a texture or sampler parameter");
        aborted_ = true;
        return false;
    }
    // Numbers, value names OR-ed together, or a vector or matrix constant.
    if (Peek().IsPunct("{") || (IsTypeStart() && Peek(1).IsPunct("("))) {
        Type target = state.valueType == StateValueType::Matrix
                          ? Type::Matrix(BaseType::Float, 4, 4)
                          : Type::Vector(BaseType::Float, 4);
        ExprPtr e =
            Peek().IsPunct("{") ? InitializerList(target) : Convert(Conditional(), target, false);
        std::vector<double> v;
        if (e == nullptr || !EvaluateConstant(e.get(), v)) {
            diagnostics_.Error(at, 3011, "state value cannot be evaluated at compile time");
            aborted_ = true;
            return false;
        }
        std::vector<std::uint32_t> words;
        for (double d : v) words.push_back(std::bit_cast<std::uint32_t>(static_cast<float>(d)));
        ConvertStateWords(state.valueType, ParameterType::Float, words.data(),
                          static_cast<std::uint32_t>(words.size()), out.value.words);
        return true;
    }
    std::uint32_t bits = 0;
    bool anyFloat = false;
    double number = 0.0;
    int terms = 0;
    do {
        const Token& t = Peek();
        bool negative = false;
        if (t.IsPunct("-")) {
            Next();
            negative = true;
        }
        const Token& v = Next();
        std::uint32_t value = 0;
        if (v.kind == TokenKind::Integer || v.kind == TokenKind::Float) {
            double d = negative ? -v.number : v.number;
            anyFloat = anyFloat || v.kind == TokenKind::Float || negative;
            number = d;
            value = d < 0 ? static_cast<std::uint32_t>(static_cast<std::int64_t>(d))
                          : static_cast<std::uint32_t>(std::min(d, 4294967295.0));
        } else if (v.kind == TokenKind::Identifier && !negative &&
                   EffectStateTable::FindValue(state, v.text, value)) {
            number = value;
        } else {
            if (v.kind == TokenKind::Identifier)
                diagnostics_.Error(v.location, 3004, "undeclared identifier '" + v.text + "'");
            else
                SyntaxError(v);
            aborted_ = true;
            return false;
        }
        bits |= value;
        ++terms;
    } while (Accept("|"));
    if (state.valueType == StateValueType::Float) {
        out.value.words = {
            std::bit_cast<std::uint32_t>(static_cast<float>(terms == 1 ? number : bits))};
    } else if (state.valueType == StateValueType::Matrix) {
        diagnostics_.Error(at, 3020, "this state takes a matrix");
        aborted_ = true;
        return false;
    } else if (state.valueType == StateValueType::Bool) {
        out.value.words = {bits != 0 || (anyFloat && number != 0.0) ? 1u : 0u};
    } else {
        out.value.words = {bits};
    }
    return true;
}

void Parser::FunctionDefinition(const Type& returnType, const std::string& name,
                                SourceLocation at) {
    auto fn = std::make_unique<Function>();
    fn->name = name;
    fn->returnType = returnType;
    fn->location = at;
    Expect("(");
    PushScope();
    std::vector<std::unique_ptr<Variable>> params;
    if (!Peek().IsPunct(")")) {
        if (Peek().Is("void") && Peek(1).IsPunct(")")) {
            Next();
        } else {
            do {
                Modifiers m = ParseModifiers();
                auto p = std::make_unique<Variable>();
                p->storage = Storage::Param;
                p->location = Peek().location;
                if (!ParseType(p->type))
                    break;
                p->name = ExpectIdentifier();
                if (!ParseArraySuffix(p->type))
                    break;
                ParseSemantic(p->semantic);
                if (Accept("="))
                    Conditional();  // default values are not used by effects
                p->direction = m.out ? (m.in ? ParamDirection::InOut : ParamDirection::Out)
                                     : ParamDirection::In;
                p->uniformParam = m.isUniform;
                p->isConst = m.isConst;
                if (p->type.cls == TypeClass::Void) {
                    diagnostics_.Error(p->location, 3038,
                                       "'" + p->name + "': parameters cannot be void");
                    aborted_ = true;
                }
                params.push_back(std::move(p));
            } while (!aborted_ && Accept(","));
        }
    }
    Expect(")");
    ParseSemantic(fn->semantic);
    for (auto& p : params) {
        fn->params.push_back(p.get());
        Declare(p->name, p.get(), p->location);
        variables_.push_back(std::move(p));
    }
    if (aborted_) {
        PopScope();
        return;
    }
    // Register before the body so that the name is known; recursion is refused later.
    Function* existing = nullptr;
    Symbol& sym = scopes_.front()[name];
    if (sym.var != nullptr || sym.structDef != nullptr) {
        diagnostics_.Error(at, 3003, "redefinition of '" + name + "'");
        aborted_ = true;
        PopScope();
        return;
    }
    for (Function* f : sym.functions) {
        if (f->params.size() != fn->params.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < f->params.size(); ++i)
            same = same && f->params[i]->type == fn->params[i]->type;
        if (same)
            existing = f;
    }
    Function* target = fn.get();
    if (existing != nullptr) {
        if (existing->body != nullptr && Peek().IsPunct("{")) {
            diagnostics_.Error(at, 3003, "redefinition of '" + name + "'");
            aborted_ = true;
            PopScope();
            return;
        }
        target = existing;
        target->params = fn->params;
        target->semantic = fn->semantic.empty() ? target->semantic : fn->semantic;
    } else {
        sym.functions.push_back(fn.get());
        functions_.push_back(std::move(fn));
    }
    if (Accept(";")) {
        PopScope();
        return;
    }
    Function* saved = currentFunction_;
    currentFunction_ = target;
    target->body = Block();
    currentFunction_ = saved;
    PopScope();
}

// ---------------------------------------------------------------------------------------------
// Statements

StmtPtr Parser::Block() {
    auto block = std::make_unique<Stmt>();
    block->kind = StmtKind::Block;
    block->location = Peek().location;
    if (!Expect("{"))
        return block;
    PushScope();
    while (!aborted_ && !Peek().IsPunct("}")) {
        StmtPtr s = Statement();
        if (s != nullptr)
            block->body.push_back(std::move(s));
    }
    PopScope();
    Expect("}");
    return block;
}

StmtPtr Parser::LocalDeclaration() {
    Modifiers mods = ParseModifiers();
    Type baseType;
    if (!ParseType(baseType))
        return nullptr;
    auto group = std::make_unique<Stmt>();
    group->location = Peek().location;
    do {
        auto var = std::make_unique<Variable>();
        var->location = Peek().location;
        var->name = ExpectIdentifier();
        var->type = baseType;
        var->isConst = mods.isConst;
        var->storage = Storage::Local;
        if (!ParseArraySuffix(var->type))
            return nullptr;
        ParseSemantic(var->semantic);
        if (var->type.cls == TypeClass::Void || var->type.IsObject()) {
            diagnostics_.Error(var->location, 3038,
                               "'" + var->name + "': local variables of type " + var->type.Name() +
                                   " are not supported");
            aborted_ = true;
            return nullptr;
        }
        if (Accept("=")) {
            if (Peek().IsPunct("{")) {
                var->init = InitializerList(var->type);
            } else {
                ExprPtr e = Assignment();
                if (e != nullptr)
                    var->init = Convert(std::move(e), var->type, false);
            }
        }
        if (var->isConst && var->init != nullptr)
            EvaluateConstant(var->init.get(), var->constValue);
        auto s = std::make_unique<Stmt>();
        s->kind = StmtKind::Declare;
        s->location = var->location;
        s->var = var.get();
        Declare(var->name, var.get(), var->location);
        variables_.push_back(std::move(var));
        group->body.push_back(std::move(s));
    } while (!aborted_ && Accept(","));
    Expect(";");
    // The names stay visible after the declaration: a sequence, not a block.
    group->kind = StmtKind::Sequence;
    return group;
}

Parser::NestingGuard::NestingGuard(Parser& parser, const SourceLocation& at) : parser_(parser) {
    if (++parser_.depth_ > kMaxNesting && !parser_.aborted_) {
        parser_.diagnostics_.Error(at, 3000, "nested too deeply");
        parser_.aborted_ = true;
    }
}

Parser::NestingGuard::~NestingGuard() {
    --parser_.depth_;
}

StmtPtr Parser::Statement() {
    NestingGuard guard(*this, Peek().location);
    if (aborted_)
        return nullptr;
    // Attributes such as [unroll] or [branch] only advise the compiler.
    while (Peek().IsPunct("[") && Peek(1).kind == TokenKind::Identifier) {
        Next();
        Next();
        if (Accept("(")) {
            while (!Peek().IsPunct(")") && Peek().kind != TokenKind::End) Next();
            Expect(")");
        }
        Expect("]");
    }
    const Token& t = Peek();
    SourceLocation at = t.location;
    if (t.IsPunct("{"))
        return Block();
    if (t.IsPunct(";")) {
        Next();
        return nullptr;
    }
    if (t.Is("if")) {
        Next();
        auto s = std::make_unique<Stmt>();
        s->kind = StmtKind::If;
        s->location = at;
        Expect("(");
        ExprPtr c = Expression();
        Expect(")");
        if (c != nullptr) {
            if (!c->type.IsNumeric() || c->type.NumericCount() != 1) {
                diagnostics_.Error(
                    c->location, 3019,
                    "if statement conditional expressions must evaluate to a scalar");
                c.reset();
            } else {
                c = Convert(std::move(c), Type::Scalar(BaseType::Bool), false);
            }
        }
        s->expr = std::move(c);
        PushScope();
        s->then = Statement();
        PopScope();
        if (Accept("else")) {
            PushScope();
            s->otherwise = Statement();
            PopScope();
        }
        return s;
    }
    if (t.Is("for")) {
        Next();
        auto s = std::make_unique<Stmt>();
        s->kind = StmtKind::For;
        s->location = at;
        Expect("(");
        PushScope();
        if (IsTypeStart() || Peek().Is("const")) {
            s->init = LocalDeclaration();
        } else if (!Accept(";")) {
            auto e = std::make_unique<Stmt>();
            e->kind = StmtKind::Expression;
            e->expr = Expression();
            s->init = std::move(e);
            Expect(";");
        }
        if (!Peek().IsPunct(";")) {
            ExprPtr c = Expression();
            if (c != nullptr)
                c = Convert(std::move(c), Type::Scalar(BaseType::Bool), false);
            s->expr = std::move(c);
        }
        Expect(";");
        if (!Peek().IsPunct(")")) {
            auto e = std::make_unique<Stmt>();
            e->kind = StmtKind::Expression;
            e->expr = Expression();
            s->step = std::move(e);
        }
        Expect(")");
        s->then = Statement();
        PopScope();
        return s;
    }
    if (t.Is("while") || t.Is("do") || t.Is("break") || t.Is("continue") || t.Is("switch")) {
        diagnostics_.Error(
            at, 3000, "'" + t.text + "' is not supported; use a for loop with a constant count");
        aborted_ = true;
        return nullptr;
    }
    if (t.Is("return")) {
        Next();
        auto s = std::make_unique<Stmt>();
        s->kind = StmtKind::Return;
        s->location = at;
        if (!Peek().IsPunct(";")) {
            ExprPtr e = Expression();
            if (e != nullptr && currentFunction_ != nullptr) {
                if (currentFunction_->returnType.cls == TypeClass::Void)
                    diagnostics_.Error(at, 3079, "void functions cannot return a value");
                else
                    e = Convert(std::move(e), currentFunction_->returnType, false);
            }
            s->expr = std::move(e);
        } else if (currentFunction_ != nullptr &&
                   currentFunction_->returnType.cls != TypeClass::Void) {
            diagnostics_.Error(at, 3080,
                               "'" + currentFunction_->name + "': function must return a value");
        }
        Expect(";");
        return s;
    }
    if (t.Is("discard")) {
        Next();
        auto s = std::make_unique<Stmt>();
        s->kind = StmtKind::Discard;
        s->location = at;
        Expect(";");
        return s;
    }
    if (IsTypeStart() || t.Is("const") || t.Is("static"))
        return LocalDeclaration();
    auto s = std::make_unique<Stmt>();
    s->kind = StmtKind::Expression;
    s->location = at;
    s->expr = Expression();
    Expect(";");
    return s;
}

// ---------------------------------------------------------------------------------------------
// Expressions

ExprPtr Parser::Expression() {
    return Assignment();
}

ExprPtr Parser::Assignment() {
    ExprPtr lhs = Conditional();
    if (!IsAssignOp(Peek()))
        return lhs;
    const Token& opTok = Next();
    std::string op = opTok.text;
    SourceLocation at = opTok.location;
    ExprPtr rhs = Assignment();
    if (lhs == nullptr || rhs == nullptr)
        return nullptr;
    if (!CheckLValue(lhs.get()))
        return nullptr;
    if (op != "=") {
        if (!lhs->type.IsNumeric() || !rhs->type.IsNumeric()) {
            diagnostics_.Error(at, 3020, "type mismatch");
            return nullptr;
        }
        if (op == "%=" && (lhs->type.base != BaseType::Float))
            rhs = Convert(std::move(rhs), rhs->type.WithBase(lhs->type.base), true);
    }
    Type target = lhs->type;
    rhs = Convert(std::move(rhs), target, false);
    if (rhs == nullptr)
        return nullptr;
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Assign;
    e->op = op;
    e->type = target;
    e->location = at;
    e->args.push_back(std::move(lhs));
    e->args.push_back(std::move(rhs));
    return e;
}

ExprPtr Parser::Conditional() {
    ExprPtr c = BinaryLevel(0);
    if (!Peek().IsPunct("?"))
        return c;
    SourceLocation at = Next().location;
    ExprPtr a = Assignment();
    Expect(":");
    ExprPtr b = Conditional();
    if (c == nullptr || a == nullptr || b == nullptr)
        return nullptr;
    if (!c->type.IsNumeric() || !a->type.IsNumeric() || !b->type.IsNumeric()) {
        diagnostics_.Error(at, 3020, "type mismatch");
        return nullptr;
    }
    Type common;
    if (!CommonType(a->type, b->type, common, at))
        return nullptr;
    if (c->type.NumericCount() != 1) {
        Type shaped;
        if (!CommonType(c->type, common, shaped, at))
            return nullptr;
        common = shaped.WithBase(common.base);
    }
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Ternary;
    e->type = common;
    e->location = at;
    e->args.push_back(Convert(std::move(c), common.WithBase(BaseType::Bool), false));
    e->args.push_back(Convert(std::move(a), common, false));
    e->args.push_back(Convert(std::move(b), common, false));
    for (auto& x : e->args)
        if (x == nullptr)
            return nullptr;
    return e;
}

ExprPtr Parser::BinaryLevel(int level) {
    if (level == kBinaryPrecedenceLevels)
        return UnaryExpr();
    ExprPtr lhs = BinaryLevel(level + 1);
    while (!aborted_) {
        const Token& t = Peek();
        if (t.kind != TokenKind::Punct || BinaryPrecedence(t.text) != level + 1)
            break;
        std::string op = t.text;
        SourceLocation at = Next().location;
        ExprPtr rhs = BinaryLevel(level + 1);
        lhs = (lhs != nullptr && rhs != nullptr)
                  ? MakeBinary(op, std::move(lhs), std::move(rhs), at)
                  : nullptr;
    }
    return lhs;
}

ExprPtr Parser::UnaryExpr() {
    const Token& t = Peek();
    SourceLocation at = t.location;
    NestingGuard guard(*this, at);
    if (aborted_)
        return nullptr;
    if (t.IsPunct("-") || t.IsPunct("+") || t.IsPunct("!") || t.IsPunct("~")) {
        std::string op = Next().text;
        ExprPtr a = UnaryExpr();
        if (a == nullptr)
            return nullptr;
        if (!a->type.IsNumeric()) {
            diagnostics_.Error(at, 3022, "scalar, vector, or matrix expected");
            return nullptr;
        }
        if (op == "+")
            return a;
        if (op == "~") {
            diagnostics_.Error(at, 3000, "bitwise operations are not supported");
            return nullptr;
        }
        auto e = std::make_unique<Expr>();
        e->kind = ExprKind::Unary;
        e->op = op;
        e->location = at;
        e->type = op == "!" ? a->type.WithBase(BaseType::Bool)
                            : (a->type.base == BaseType::Bool ? a->type.WithBase(BaseType::Int)
                                                              : a->type);
        e->args.push_back(Convert(
            std::move(a), e->type.WithBase(op == "!" ? BaseType::Bool : e->type.base), false));
        return e;
    }
    if (t.IsPunct("++") || t.IsPunct("--")) {
        std::string op = Next().text + "pre";
        ExprPtr a = UnaryExpr();
        if (a == nullptr || !CheckLValue(a.get()))
            return nullptr;
        auto e = std::make_unique<Expr>();
        e->kind = ExprKind::Unary;
        e->op = op;
        e->location = at;
        e->type = a->type;
        e->args.push_back(std::move(a));
        return e;
    }
    // A cast: "(" type ")" expression.
    if (t.IsPunct("(") && IsTypeStart(1)) {
        std::size_t save = pos_;
        Next();
        Type target;
        if (ParseType(target)) {
            if (Peek().IsPunct("["))
                ParseArraySuffix(target);
            if (Accept(")")) {
                ExprPtr a = UnaryExpr();
                if (a == nullptr)
                    return nullptr;
                return Convert(std::move(a), target, true);
            }
        }
        if (aborted_)
            return nullptr;
        pos_ = save;
    }
    return Postfix(Primary());
}

ExprPtr Parser::Postfix(ExprPtr e) {
    while (!aborted_) {
        const Token& t = Peek();
        SourceLocation at = t.location;
        if (t.IsPunct(".")) {
            Next();
            std::string name = ExpectIdentifier();
            if (e == nullptr)
                continue;
            if (e->type.cls == TypeClass::Struct && e->type.arraySize == 0) {
                const StructMember* m = e->type.structDef->Find(name);
                if (m == nullptr) {
                    diagnostics_.Error(at, 3018, "invalid subscript '" + name + "'");
                    e = nullptr;
                    continue;
                }
                auto x = std::make_unique<Expr>();
                x->kind = ExprKind::Member;
                x->type = m->type;
                x->location = at;
                x->memberIndex = static_cast<std::uint32_t>(m - e->type.structDef->members.data());
                x->args.push_back(std::move(e));
                e = std::move(x);
            } else {
                e = Swizzle(std::move(e), name, at);
            }
        } else if (t.IsPunct("[")) {
            Next();
            ExprPtr idx = Expression();
            Expect("]");
            if (e == nullptr || idx == nullptr) {
                e = nullptr;
                continue;
            }
            Type et;
            if (e->type.arraySize != 0) {
                et = e->type.Element();
            } else if (e->type.cls == TypeClass::Vector) {
                et = Type::Scalar(e->type.base);
            } else if (e->type.cls == TypeClass::Matrix) {
                et = Type::Vector(e->type.base, e->type.columns);
            } else {
                diagnostics_.Error(
                    at, 3121,
                    "array, matrix, vector, or indexable object type expected in index expression");
                e = nullptr;
                continue;
            }
            if (!idx->type.IsNumeric() || idx->type.NumericCount() != 1) {
                diagnostics_.Error(at, 3120, "invalid type for index - index must be a scalar");
                e = nullptr;
                continue;
            }
            std::uint32_t limit = e->type.arraySize != 0             ? e->type.arraySize
                                  : e->type.cls == TypeClass::Vector ? e->type.columns
                                                                     : e->type.rows;
            std::vector<double> v;
            if (EvaluateConstant(idx.get(), v) && (v[0] < 0 || v[0] >= limit)) {
                diagnostics_.Error(at, 3504, "array index out of bounds");
                e = nullptr;
                continue;
            }
            auto x = std::make_unique<Expr>();
            x->kind = ExprKind::Index;
            x->type = et;
            x->location = at;
            x->args.push_back(std::move(e));
            x->args.push_back(Convert(std::move(idx), Type::Scalar(BaseType::Int), false));
            e = std::move(x);
        } else if (t.IsPunct("++") || t.IsPunct("--")) {
            std::string op = Next().text + "post";
            if (e == nullptr || !CheckLValue(e.get())) {
                e = nullptr;
                continue;
            }
            auto x = std::make_unique<Expr>();
            x->kind = ExprKind::Unary;
            x->op = op;
            x->location = at;
            x->type = e->type;
            x->args.push_back(std::move(e));
            e = std::move(x);
        } else {
            break;
        }
    }
    return e;
}

ExprPtr Parser::Swizzle(ExprPtr base, const std::string& text, const SourceLocation& at) {
    const Type& bt = base->type;
    if (!bt.IsNumeric()) {
        diagnostics_.Error(at, 3018, "invalid subscript '" + text + "'");
        return nullptr;
    }
    std::vector<std::uint8_t> comps;
    bool ok = true;
    if (bt.cls == TypeClass::Matrix) {
        // _m00 (zero-based) or _11 (one-based) groups.
        std::size_t i = 0;
        while (ok && i < text.size()) {
            if (text[i] != '_') {
                ok = false;
                break;
            }
            ++i;
            bool zeroBased = i < text.size() && text[i] == 'm';
            if (zeroBased)
                ++i;
            if (i + 2 > text.size()) {
                ok = false;
                break;
            }
            int r = text[i] - (zeroBased ? '0' : '1'), c = text[i + 1] - (zeroBased ? '0' : '1');
            if (r < 0 || c < 0 || r >= bt.rows || c >= bt.columns)
                ok = false;
            else
                comps.push_back(static_cast<std::uint8_t>(r * bt.columns + c));
            i += 2;
        }
    } else {
        unsigned n = bt.NumericCount();
        int set = 0;
        for (char ch : text) {
            const char* xyzw = std::strchr("xyzw", ch);
            const char* rgba = std::strchr("rgba", ch);
            int idx = -1;
            if (ch != '\0' && xyzw != nullptr) {
                idx = static_cast<int>(xyzw - "xyzw");
                if (set == 2)
                    ok = false;
                set = 1;
            } else if (ch != '\0' && rgba != nullptr) {
                idx = static_cast<int>(rgba - "rgba");
                if (set == 1)
                    ok = false;
                set = 2;
            } else {
                ok = false;
            }
            if (idx >= static_cast<int>(n))
                ok = false;
            if (ok)
                comps.push_back(static_cast<std::uint8_t>(idx));
        }
    }
    if (!ok || comps.empty() || comps.size() > 4) {
        diagnostics_.Error(at, 3018, "invalid subscript '" + text + "'");
        return nullptr;
    }
    auto x = std::make_unique<Expr>();
    x->kind = ExprKind::Swizzle;
    x->type = comps.size() == 1 ? Type::Scalar(bt.base)
                                : Type::Vector(bt.base, static_cast<unsigned>(comps.size()));
    x->location = at;
    x->components = std::move(comps);
    x->args.push_back(std::move(base));
    return x;
}

ExprPtr Parser::Primary() {
    const Token& t = Peek();
    SourceLocation at = t.location;
    if (t.kind == TokenKind::Integer || t.kind == TokenKind::Float) {
        Next();
        auto e = std::make_unique<Expr>();
        e->kind = ExprKind::Literal;
        e->type = Type::Scalar(t.kind == TokenKind::Integer ? BaseType::Int : BaseType::Float);
        e->number = t.number;
        e->location = at;
        return e;
    }
    if (t.Is("true") || t.Is("false")) {
        auto e = std::make_unique<Expr>();
        e->kind = ExprKind::Literal;
        e->type = Type::Scalar(BaseType::Bool);
        e->number = t.Is("true") ? 1.0 : 0.0;
        e->location = at;
        Next();
        return e;
    }
    if (t.IsPunct("(")) {
        Next();
        ExprPtr e = Expression();
        Expect(")");
        return e;
    }
    if (t.kind == TokenKind::Identifier) {
        Token name = Next();
        if (Peek().IsPunct("("))
            return CallOrConstruct(name);
        Symbol* s = Lookup(name.text);
        if (s == nullptr || s->var == nullptr) {
            diagnostics_.Error(at, 3004, "undeclared identifier '" + name.text + "'");
            return nullptr;
        }
        auto e = std::make_unique<Expr>();
        e->kind = ExprKind::Variable;
        e->var = s->var;
        e->type = s->var->type;
        e->location = at;
        return e;
    }
    SyntaxError(t);
    return nullptr;
}

std::vector<ExprPtr> Parser::Arguments() {
    std::vector<ExprPtr> args;
    if (!Expect("("))
        return args;
    if (Accept(")"))
        return args;
    do {
        args.push_back(Assignment());
    } while (!aborted_ && Accept(","));
    Expect(")");
    return args;
}

ExprPtr Parser::CallOrConstruct(const Token& name) {
    SourceLocation at = name.location;
    Type t;
    if (NumericTypeFromName(name.text, t))
        return ConstructorCall(t, at);
    std::vector<ExprPtr> args = Arguments();
    for (const ExprPtr& a : args)
        if (a == nullptr)
            return nullptr;
    Symbol* s = Lookup(name.text);
    if (s != nullptr && !s->functions.empty())
        return UserCall(s->functions, std::move(args), at);
    if (FindIntrinsic(name.text) != nullptr)
        return IntrinsicCall(name.text, std::move(args), at);
    diagnostics_.Error(at, 3004, "undeclared identifier '" + name.text + "'");
    return nullptr;
}

ExprPtr Parser::ConstructorCall(const Type& t, const SourceLocation& at) {
    std::vector<ExprPtr> args = Arguments();
    unsigned total = 0;
    for (const ExprPtr& a : args) {
        if (a == nullptr)
            return nullptr;
        if (!a->type.IsNumeric()) {
            diagnostics_.Error(
                at, 3017, "cannot convert from '" + a->type.Name() + "' to '" + t.Name() + "'");
            return nullptr;
        }
        total += a->type.NumericCount();
    }
    if (args.size() == 1 && total == 1 && t.NumericCount() > 1)
        return Convert(std::move(args[0]), t, true);
    if (total != t.NumericCount()) {
        diagnostics_.Error(at, 3014, "incorrect number of arguments to numeric-type constructor");
        return nullptr;
    }
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Construct;
    e->type = t;
    e->location = at;
    for (ExprPtr& a : args) {
        Type to = a->type.WithBase(t.base);
        e->args.push_back(Convert(std::move(a), to, true));
    }
    return e;
}

ExprPtr Parser::InitializerList(const Type& target) {
    SourceLocation at = Peek().location;
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::InitList;
    e->type = target;
    e->location = at;
    std::uint32_t total = 0;
    // Nested braces only group; the components are taken in order.
    std::function<bool()> items = [&]() -> bool {
        NestingGuard guard(*this, Peek().location);
        if (aborted_ || !Expect("{"))
            return false;
        if (Accept("}"))
            return true;
        do {
            if (Peek().IsPunct("}"))
                break;  // a trailing comma
            if (Peek().IsPunct("{")) {
                if (!items())
                    return false;
                continue;
            }
            ExprPtr a = Assignment();
            if (a == nullptr)
                return false;
            if (!a->type.IsNumeric()) {
                diagnostics_.Error(
                    a->location, 3017,
                    "cannot convert from '" + a->type.Name() + "' in an initializer");
                return false;
            }
            total += a->type.NumericCount();
            e->args.push_back(std::move(a));
        } while (!aborted_ && Accept(","));
        return Expect("}");
    };
    if (!items())
        return nullptr;
    if (total != target.Components()) {
        if (total == 1 && target.IsNumeric()) {
            ExprPtr only = std::move(e->args[0]);
            return Convert(std::move(only), target, false);
        }
        diagnostics_.Error(at, 3017,
                           "initializer does not match type: " + std::to_string(total) +
                               " values for '" + target.Name() + "'");
        return nullptr;
    }
    return e;
}

ExprPtr Parser::UserCall(const std::vector<Function*>& candidates, std::vector<ExprPtr> args,
                         const SourceLocation& at) {
    Function* best = nullptr;
    int bestScore = -1;
    bool ambiguous = false;
    for (Function* f : candidates) {
        if (f->params.size() != args.size())
            continue;
        int score = 0;
        bool ok = true;
        for (std::size_t i = 0; i < args.size() && ok; ++i) {
            const Type& pt = f->params[i]->type;
            const Type& at2 = args[i]->type;
            bool truncates = false;
            if (at2 == pt)
                score += 3;
            else if (CanConvert(at2, pt, false, truncates))
                score += truncates ? 0 : 1;
            else
                ok = false;
            if (ok && f->params[i]->direction != ParamDirection::In &&
                !CanConvert(pt, at2, false, truncates))
                ok = false;
        }
        if (!ok)
            continue;
        if (score > bestScore) {
            best = f;
            bestScore = score;
            ambiguous = false;
        } else if (score == bestScore) {
            ambiguous = true;
        }
    }
    if (best == nullptr) {
        diagnostics_.Error(at, 3013,
                           "'" + candidates[0]->name + "': no matching " +
                               std::to_string(args.size()) + " parameter function");
        return nullptr;
    }
    if (ambiguous) {
        diagnostics_.Error(at, 3067, "'" + best->name + "': ambiguous function call");
        return nullptr;
    }
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Call;
    e->function = best;
    e->type = best->returnType;
    e->location = at;
    for (std::size_t i = 0; i < args.size(); ++i) {
        Variable* p = best->params[i];
        if (p->direction == ParamDirection::In) {
            e->args.push_back(Convert(std::move(args[i]), p->type, false));
            if (e->args.back() == nullptr)
                return nullptr;
        } else {
            if (!CheckLValue(args[i].get()))
                return nullptr;
            e->args.push_back(std::move(args[i]));
        }
    }
    return e;
}

ExprPtr Parser::IntrinsicCall(const std::string& name, std::vector<ExprPtr> args,
                              const SourceLocation& at) {
    const IntrinsicInfo* info = FindIntrinsic(name);
    int n = static_cast<int>(args.size());
    if (n < info->minArgs || n > info->maxArgs) {
        diagnostics_.Error(at, 3013,
                           "'" + name + "': intrinsic function does not take " + std::to_string(n) +
                               " parameters");
        return nullptr;
    }
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Intrinsic;
    e->intrinsic = info->id;
    e->location = at;
    Intrinsic id = info->id;
    auto fail = [&](const std::string& why) {
        diagnostics_.Error(at, 3013, "'" + name + "': " + why);
        return nullptr;
    };
    bool isTexture = id >= Intrinsic::Tex1D;
    if (isTexture) {
        if (args[0]->type.cls != TypeClass::Sampler || args[0]->type.arraySize != 0 ||
            args[0]->kind != ExprKind::Variable)
            return fail("the first argument must be a sampler");
        unsigned coords = 2;
        switch (id) {
            case Intrinsic::Tex1D:
                coords = 1;
                break;
            case Intrinsic::Tex2D:
                coords = 2;
                break;
            case Intrinsic::Tex3D:
            case Intrinsic::TexCUBE:
                coords = 3;
                break;
            default:
                coords = 4;
                break;
        }
        Type ct =
            coords == 1 ? Type::Scalar(BaseType::Float) : Type::Vector(BaseType::Float, coords);
        if (!args[1]->type.IsNumeric() || args[1]->type.cls == TypeClass::Matrix)
            return fail("texture coordinates must be a vector");
        e->args.push_back(std::move(args[0]));
        e->args.push_back(Convert(std::move(args[1]), ct, false));
        if (e->args[1] == nullptr)
            return nullptr;
        e->type = Type::Vector(BaseType::Float, 4);
        return e;
    }
    for (const ExprPtr& a : args)
        if (!a->type.IsNumeric())
            return fail("scalar, vector, or matrix expected");
    if (id == Intrinsic::Mul) {
        Type a = args[0]->type.WithBase(BaseType::Float),
             b = args[1]->type.WithBase(BaseType::Float);
        if (a.NumericCount() == 1 || b.NumericCount() == 1) {
            e->type = a.NumericCount() == 1 ? b : a;
        } else if (a.cls == TypeClass::Vector && b.cls == TypeClass::Matrix) {
            if (a.columns != b.rows)
                diagnostics_.Warning(at, 3206, "implicit truncation of vector type");
            e->type = b.columns == 1 ? Type::Scalar(BaseType::Float)
                                     : Type::Vector(BaseType::Float, b.columns);
        } else if (a.cls == TypeClass::Matrix && b.cls == TypeClass::Vector) {
            if (a.columns != b.columns)
                diagnostics_.Warning(at, 3206, "implicit truncation of vector type");
            e->type =
                a.rows == 1 ? Type::Scalar(BaseType::Float) : Type::Vector(BaseType::Float, a.rows);
        } else if (a.cls == TypeClass::Matrix && b.cls == TypeClass::Matrix) {
            if (a.columns != b.rows)
                diagnostics_.Warning(at, 3206, "implicit truncation of vector type");
            e->type = (a.rows == 1 && b.columns == 1)
                          ? Type::Scalar(BaseType::Float)
                          : Type::Matrix(BaseType::Float, a.rows, b.columns);
        } else {
            if (a.columns != b.columns)
                diagnostics_.Warning(at, 3206, "implicit truncation of vector type");
            e->type = Type::Scalar(BaseType::Float);  // vector times vector: the dot product
        }
        e->args.push_back(Convert(std::move(args[0]), a, false));
        e->args.push_back(Convert(std::move(args[1]), b, false));
        return e;
    }
    if (id == Intrinsic::Transpose) {
        Type a = args[0]->type;
        e->type = a.cls == TypeClass::Matrix ? Type::Matrix(a.base, a.columns, a.rows) : a;
        if (a.cls == TypeClass::Matrix && a.columns == 1 && a.rows == 1)
            e->type = Type::Scalar(a.base);
        e->args.push_back(std::move(args[0]));
        return e;
    }
    if (id == Intrinsic::Lit) {
        for (ExprPtr& a : args) {
            e->args.push_back(Convert(std::move(a), Type::Scalar(BaseType::Float), false));
            if (e->args.back() == nullptr)
                return nullptr;
        }
        e->type = Type::Vector(BaseType::Float, 4);
        return e;
    }
    // Everything else works component by component on one common shape.
    Type common = args[0]->type;
    for (int i = 1; i < n; ++i)
        if (!CommonType(common, args[i]->type, common, at))
            return nullptr;
    bool keepBase = id == Intrinsic::Abs || id == Intrinsic::Min || id == Intrinsic::Max ||
                    id == Intrinsic::Clamp || id == Intrinsic::Any || id == Intrinsic::All;
    if (!keepBase || common.base == BaseType::Bool)
        common = common.WithBase(BaseType::Float);
    if (id == Intrinsic::Cross)
        common = Type::Vector(BaseType::Float, 3);
    for (ExprPtr& a : args) {
        e->args.push_back(Convert(std::move(a), common, false));
        if (e->args.back() == nullptr)
            return nullptr;
    }
    switch (id) {
        case Intrinsic::Dot:
        case Intrinsic::Length:
        case Intrinsic::Distance:
            e->type = Type::Scalar(BaseType::Float);
            break;
        case Intrinsic::Any:
        case Intrinsic::All:
            e->type = Type::Scalar(BaseType::Bool);
            break;
        case Intrinsic::Clip:
            e->type = Type::Void();
            break;
        default:
            e->type = common;
            break;
    }
    return e;
}

// ---------------------------------------------------------------------------------------------
// Typing

bool Parser::CanConvert(const Type& from, const Type& to, bool explicitCast,
                        bool& truncates) const {
    truncates = false;
    if (from == to)
        return true;
    if (from.cls == TypeClass::Sampler && to.cls == TypeClass::Sampler &&
        from.arraySize == to.arraySize)
        return from.dim == ObjectDim::Generic || to.dim == ObjectDim::Generic;
    if (!from.IsNumeric() || !to.IsNumeric())
        return false;
    unsigned fn = from.NumericCount(), tn = to.NumericCount();
    if (fn == 1)
        return true;  // a scalar fills any shape
    if (to.cls == TypeClass::Scalar) {
        truncates = true;
        return true;
    }
    if (from.cls == TypeClass::Vector && to.cls == TypeClass::Vector) {
        truncates = fn > tn;
        return fn >= tn;
    }
    if (from.cls == TypeClass::Matrix && to.cls == TypeClass::Matrix) {
        truncates = from.rows > to.rows || from.columns > to.columns;
        return from.rows >= to.rows && from.columns >= to.columns;
    }
    // A vector and a matrix of as many components convert in order when asked to.
    return explicitCast && fn == tn;
}

ExprPtr Parser::Convert(ExprPtr e, const Type& to, bool explicitCast) {
    if (e == nullptr)
        return nullptr;
    if (e->type == to)
        return e;
    bool truncates = false;
    if (!CanConvert(e->type, to, explicitCast, truncates)) {
        diagnostics_.Error(
            e->location, 3017,
            "cannot implicitly convert from '" + e->type.Name() + "' to '" + to.Name() + "'");
        return nullptr;
    }
    if (e->type.cls == TypeClass::Sampler)
        return e;  // same object, wider or narrower name
    if (truncates && !explicitCast)
        diagnostics_.Warning(e->location, 3206, "implicit truncation of vector type");
    auto x = std::make_unique<Expr>();
    x->kind = ExprKind::Convert;
    x->type = to;
    x->location = e->location;
    x->args.push_back(std::move(e));
    return x;
}

bool Parser::CommonType(const Type& a, const Type& b, Type& out, const SourceLocation& at) {
    if (!a.IsNumeric() || !b.IsNumeric()) {
        diagnostics_.Error(at, 3020, "type mismatch");
        return false;
    }
    BaseType base = (a.base == BaseType::Float || b.base == BaseType::Float) ? BaseType::Float
                    : (a.base == BaseType::Bool && b.base == BaseType::Bool) ? BaseType::Bool
                    : (a.base == BaseType::UInt && b.base == BaseType::UInt) ? BaseType::UInt
                                                                             : BaseType::Int;
    if (a.NumericCount() == 1) {
        out = b.WithBase(base);
        return true;
    }
    if (b.NumericCount() == 1) {
        out = a.WithBase(base);
        return true;
    }
    if (a.cls == TypeClass::Vector && b.cls == TypeClass::Vector) {
        if (a.columns != b.columns)
            diagnostics_.Warning(at, 3206, "implicit truncation of vector type");
        out = Type::Vector(base, std::min(a.columns, b.columns));
        return true;
    }
    if (a.cls == TypeClass::Matrix && b.cls == TypeClass::Matrix) {
        if (a.rows != b.rows || a.columns != b.columns)
            diagnostics_.Warning(at, 3206, "implicit truncation of vector type");
        out = Type::Matrix(base, std::min(a.rows, b.rows), std::min(a.columns, b.columns));
        return true;
    }
    diagnostics_.Error(at, 3020, "type mismatch between '" + a.Name() + "' and '" + b.Name() + "'");
    return false;
}

ExprPtr Parser::MakeBinary(const std::string& op, ExprPtr a, ExprPtr b, const SourceLocation& at) {
    if (op == "<<" || op == ">>" || op == "&" || op == "|" || op == "^") {
        diagnostics_.Error(at, 3000, "bitwise operations are not supported");
        return nullptr;
    }
    Type common;
    if (!CommonType(a->type, b->type, common, at))
        return nullptr;
    bool logical = op == "&&" || op == "||";
    bool compare = op == "<" || op == ">" || op == "<=" || op == ">=" || op == "==" || op == "!=";
    Type operand = logical ? common.WithBase(BaseType::Bool) : common;
    if (!logical && !compare && operand.base == BaseType::Bool)
        operand = operand.WithBase(BaseType::Int);
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Binary;
    e->op = op;
    e->location = at;
    e->type = (logical || compare) ? common.WithBase(BaseType::Bool) : operand;
    e->args.push_back(Convert(std::move(a), operand, false));
    e->args.push_back(Convert(std::move(b), operand, false));
    if (e->args[0] == nullptr || e->args[1] == nullptr)
        return nullptr;
    return e;
}

bool Parser::CheckLValue(const Expr* e) {
    const Expr* root = e;
    while (root->kind == ExprKind::Member || root->kind == ExprKind::Swizzle ||
           root->kind == ExprKind::Index) {
        if (root->kind == ExprKind::Swizzle) {
            std::vector<std::uint8_t> seen;
            for (std::uint8_t c : root->components) {
                if (std::find(seen.begin(), seen.end(), c) != seen.end()) {
                    diagnostics_.Error(e->location, 3025, "l-value specifies const object");
                    return false;
                }
                seen.push_back(c);
            }
        }
        root = root->args[0].get();
    }
    if (root->kind != ExprKind::Variable) {
        diagnostics_.Error(e->location, 3025, "l-value specifies const object");
        return false;
    }
    if (root->var->storage == Storage::Uniform || root->var->uniformParam) {
        diagnostics_.Error(e->location, 3025,
                           "global variables are implicitly constant, enable compatibility mode to "
                           "allow modification");
        return false;
    }
    if (root->var->isConst) {
        diagnostics_.Error(e->location, 3025, "l-value specifies const object");
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Constants

bool Parser::EvaluateConstant(const Expr* e, std::vector<double>& out) {
    out.clear();
    if (e == nullptr)
        return false;
    switch (e->kind) {
        case ExprKind::Literal:
            if (!e->type.IsNumeric())
                return false;
            out.push_back(e->number);
            return true;
        case ExprKind::Variable:
            if (e->var->storage == Storage::Uniform || !e->var->isConst ||
                e->var->constValue.empty())
                return false;
            out = e->var->constValue;
            return true;
        case ExprKind::Construct:
        case ExprKind::InitList: {
            std::vector<BaseType> bases;
            ComponentBases(e->type, bases);
            for (const ExprPtr& a : e->args) {
                std::vector<double> v;
                if (!EvaluateConstant(a.get(), v))
                    return false;
                out.insert(out.end(), v.begin(), v.end());
            }
            if (out.size() != bases.size())
                return false;
            for (std::size_t i = 0; i < out.size(); ++i) out[i] = ConvertScalar(out[i], bases[i]);
            return true;
        }
        case ExprKind::Convert: {
            std::vector<double> v;
            if (!EvaluateConstant(e->args[0].get(), v))
                return false;
            const Type& from = e->args[0]->type;
            if (!from.IsNumeric() || !e->type.IsNumeric())
                return false;
            std::vector<unsigned> map;
            ConversionMap(from, e->type, map);
            for (unsigned m : map) {
                if (m >= v.size())
                    return false;
                out.push_back(ConvertScalar(v[m], e->type.base));
            }
            return true;
        }
        case ExprKind::Swizzle: {
            std::vector<double> v;
            if (!EvaluateConstant(e->args[0].get(), v))
                return false;
            for (std::uint8_t c : e->components) {
                if (c >= v.size())
                    return false;
                out.push_back(v[c]);
            }
            return true;
        }
        case ExprKind::Unary: {
            std::vector<double> v;
            if (!EvaluateConstant(e->args[0].get(), v))
                return false;
            for (double d : v)
                out.push_back(e->op == "-" ? -d : (e->op == "!" ? (d == 0.0 ? 1.0 : 0.0) : d));
            if (e->op != "-" && e->op != "!")
                return false;
            return true;
        }
        case ExprKind::Binary: {
            std::vector<double> a, b;
            if (!EvaluateConstant(e->args[0].get(), a) || !EvaluateConstant(e->args[1].get(), b) ||
                a.size() != b.size())
                return false;
            bool integer = e->args[0]->type.base != BaseType::Float;
            for (std::size_t i = 0; i < a.size(); ++i) {
                double x = a[i], y = b[i], r;
                const std::string& op = e->op;
                if (op == "+")
                    r = x + y;
                else if (op == "-")
                    r = x - y;
                else if (op == "*")
                    r = x * y;
                else if (op == "/") {
                    if (integer && y == 0.0)
                        return false;
                    r = integer ? std::trunc(x / y) : x / y;
                } else if (op == "%") {
                    if (y == 0.0)
                        return false;
                    r = std::fmod(x, y);
                } else if (op == "<")
                    r = x < y;
                else if (op == ">")
                    r = x > y;
                else if (op == "<=")
                    r = x <= y;
                else if (op == ">=")
                    r = x >= y;
                else if (op == "==")
                    r = x == y;
                else if (op == "!=")
                    r = x != y;
                else if (op == "&&")
                    r = (x != 0.0) && (y != 0.0);
                else if (op == "||")
                    r = (x != 0.0) || (y != 0.0);
                else
                    return false;
                out.push_back(ConvertScalar(r, e->type.base));
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace Hlsl
