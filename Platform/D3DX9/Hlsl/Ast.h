// The typed syntax tree the parser builds and the code generator reads. Every expression has
// its final type; the parser inserts the implicit conversions as Convert nodes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Platform/D3DX9/Hlsl/Diagnostics.h"
#include "Platform/D3DX9/Hlsl/Type.h"

namespace Hlsl {

struct Expr;
struct Stmt;
struct Function;
using ExprPtr = std::unique_ptr<Expr>;
using StmtPtr = std::unique_ptr<Stmt>;

enum class Storage : std::uint8_t {
    Uniform,  // a global parameter: read-only, from the value store
    Static,   // a static global: per run, from its initialiser
    Local,
    Param,
};

enum class ParamDirection : std::uint8_t { In, Out, InOut };

struct Variable {
    std::string name;
    Type type;
    std::string semantic;
    Storage storage = Storage::Local;
    ParamDirection direction = ParamDirection::In;
    bool isConst = false;
    bool uniformParam = false;       // a function parameter marked uniform
    ExprPtr init;                    // static globals and locals
    std::int32_t parameter = -1;     // uniform globals: top-level parameter index
    std::uint32_t offset = 0;        // uniform globals: first word in the value store
    std::vector<double> constValue;  // static const globals with a constant initialiser
    SourceLocation location;
};

enum class Intrinsic : std::uint8_t {
    Abs,
    Acos,
    All,
    Any,
    Asin,
    Atan,
    Atan2,
    Ceil,
    Clamp,
    Clip,
    Cos,
    Cross,
    Ddx,
    Ddy,
    Degrees,
    Distance,
    Dot,
    Exp,
    Exp2,
    Floor,
    Fmod,
    Frac,
    Fwidth,
    Length,
    Lerp,
    Lit,
    Log,
    Log10,
    Log2,
    Max,
    Min,
    Mul,
    Normalize,
    Pow,
    Radians,
    Rcp,
    Reflect,
    Round,
    Rsqrt,
    Saturate,
    Sign,
    Sin,
    Smoothstep,
    Sqrt,
    Step,
    Tan,
    Transpose,
    Trunc,
    Tex1D,
    Tex2D,
    Tex2Dproj,
    Tex2Dlod,
    Tex2Dbias,
    Tex3D,
    TexCUBE,
    TexCUBElod,
    TexCUBEbias,
    TexCUBEproj
};

enum class ExprKind : std::uint8_t {
    Literal,    // number: a scalar
    Variable,   // var
    Member,     // args[0].member (memberIndex)
    Swizzle,    // args[0] with components
    Index,      // args[0][args[1]]
    Unary,      // op args[0]: "-", "!", "++pre", "--pre", "++post", "--post"
    Binary,     // args[0] op args[1]: arithmetic, comparison, logic
    Assign,     // args[0] op args[1]: "=", "+=", ...
    Ternary,    // args[0] ? args[1] : args[2]
    Call,       // function(args)
    Intrinsic,  // intrinsic(args)
    Construct,  // type(args), components in order
    Convert,    // args[0] as type
    InitList,   // { args }, flattened into type's components
};

struct Expr {
    ExprKind kind = ExprKind::Literal;
    Type type;
    SourceLocation location;
    std::vector<ExprPtr> args;
    std::string op;
    double number = 0.0;
    Variable* var = nullptr;
    Function* function = nullptr;
    Intrinsic intrinsic = Intrinsic::Abs;
    std::uint32_t memberIndex = 0;
    std::vector<std::uint8_t> components;  // swizzle: component indices into the operand
};

enum class StmtKind : std::uint8_t {
    Block,     // body in a scope of its own
    Sequence,  // body in the enclosing scope (one declaration of several names)
    Declare,
    Expression,
    If,
    For,
    Return,
    Discard,
    Empty
};

struct Stmt {
    StmtKind kind = StmtKind::Empty;
    SourceLocation location;
    std::vector<StmtPtr> body;  // Block, Sequence
    Variable* var = nullptr;    // Declare (its init is var->init)
    ExprPtr expr;               // Expression, Return value, If/For condition
    StmtPtr init, step;         // For (step is an Expression statement)
    StmtPtr then, otherwise;    // If, and For's body in then
};

struct Function {
    std::string name;
    Type returnType;
    std::string semantic;
    std::vector<Variable*> params;
    StmtPtr body;  // null for a prototype
    SourceLocation location;
    bool inProgress = false;  // guards against recursion while generating code
};

}  // namespace Hlsl
