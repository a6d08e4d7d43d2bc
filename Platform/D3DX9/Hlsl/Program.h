// A compiled vertex or pixel program: straight-line code over registers of kLanes floats each,
// so that one run shades kLanes vertices or pixels at once. Every register holds one scalar
// component for every lane; vector work is spread over components at compile time, and
// branches run both ways under lane masks. ProgramContext runs it.
//
// Register file: [constants: literals and parameter components] [inputs: 4 per semantic]
// [temporaries]. Pixel programs see their lanes as 2x2 quads (lane 4q + 0: (x, y), + 1: (x+1, y),
// + 2: (x, y+1), + 3: (x+1, y+1)) for derivatives and texture level selection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Platform/D3D9/D3D9Types.h"

namespace Hlsl {

constexpr unsigned kLanes = 16;

enum class ProgramKind : std::uint8_t { Vertex = 0, Pixel = 1 };

// Program inputs and outputs by vertex-declaration usage (D3DDECLUSAGE).
enum class Usage : std::uint8_t {
    Position = D3DDECLUSAGE_POSITION,
    BlendWeight = D3DDECLUSAGE_BLENDWEIGHT,
    BlendIndices = D3DDECLUSAGE_BLENDINDICES,
    Normal = D3DDECLUSAGE_NORMAL,
    PSize = D3DDECLUSAGE_PSIZE,
    TexCoord = D3DDECLUSAGE_TEXCOORD,
    Tangent = D3DDECLUSAGE_TANGENT,
    Binormal = D3DDECLUSAGE_BINORMAL,
    TessFactor = D3DDECLUSAGE_TESSFACTOR,
    PositionT = D3DDECLUSAGE_POSITIONT,
    Color = D3DDECLUSAGE_COLOR,
    Fog = D3DDECLUSAGE_FOG,
    Depth = D3DDECLUSAGE_DEPTH,
    Sample = D3DDECLUSAGE_SAMPLE
};

// Samplers a vertex program reads are numbered from here (D3DVERTEXTEXTURESAMPLER0).
constexpr std::uint32_t kVertexSamplerBase = 257;

enum class Op : std::uint32_t {
    Mov,
    Add,
    Sub,
    Mul,
    Div,
    Mad,
    Neg,
    Abs,
    Min,
    Max,
    Sat,
    Floor,
    Ceil,
    Frac,
    Trunc,
    Round,
    Rcp,
    Rsq,
    Sqrt,
    Exp,
    Exp2,
    Log,
    Log2,
    Pow,
    Sin,
    Cos,
    Tan,
    Asin,
    Acos,
    Atan,
    Atan2,
    Fmod,
    Sign,
    Lt,
    Le,
    Eq,
    Ne,
    And,
    Or,
    Not,
    Select,
    Kill,
    GatherConst,  // dst = arrays[b + clamp(trunc(a), 0, d - 1) * c]
    GatherReg,    // dst = register[b + clamp(trunc(a), 0, d - 1) * c]
    Ddx,
    Ddy,     // quad differences (0 in vertex programs)
    Sample,  // texture fetch: b is the index of the SampleOp
    Count
};

// Operands: dst, a, b, c are registers unless the op says otherwise; d is an immediate.
struct Instruction {
    Op op = Op::Mov;
    std::uint32_t dst = 0, a = 0, b = 0, c = 0, d = 0;
};

enum class TextureDim : std::uint8_t { Tex1D = 0, Tex2D = 1, Tex3D = 2, Cube = 3 };
enum class LodMode : std::uint8_t { Implicit = 0, Bias = 1, Explicit = 2 };

struct SampleOp {
    std::uint32_t sampler = 0;  // index into Program::samplers
    TextureDim dim = TextureDim::Tex2D;
    LodMode lod = LodMode::Implicit;
    bool projected = false;         // divide the coordinates by coord[3] first
    std::uint32_t coord[4] = {};    // registers: u, v, w, q (unused ones repeat u)
    std::uint32_t lodRegister = 0;  // bias or level
    std::uint32_t out[4] = {};      // registers receiving r, g, b, a
};

// A parameter component copied into a constant register when constants are bound.
enum class Conversion : std::uint8_t { Float = 0, Int = 1, Bool = 2 };

struct ConstantLoad {
    std::uint32_t word = 0;  // in the effect's value store
    Conversion conversion = Conversion::Float;
    std::uint32_t reg = 0;
};

// A parameter range read with a computed index: copied into the program's array buffer.
struct ArrayLoad {
    std::uint32_t word = 0;               // first word in the value store
    std::uint32_t count = 0;              // words
    std::vector<Conversion> conversions;  // one per word of one element, repeated
    std::uint32_t bufferOffset = 0;
};

struct Literal {
    std::uint32_t reg = 0;
    float value = 0.0f;
};

struct ProgramInput {
    Usage usage = Usage::Position;
    std::uint8_t usageIndex = 0;
    std::uint8_t components = 4;  // used by the program; 4 registers are always there
    std::uint32_t firstRegister = 0;
};

struct ProgramOutput {
    Usage usage = Usage::Position;
    std::uint8_t usageIndex = 0;
    std::uint8_t components = 4;
    std::uint32_t registers[4] = {};
};

struct ProgramSampler {
    std::uint32_t parameter = 0;  // top-level parameter index of the sampler
    std::uint32_t stage = 0;      // sampler number: 0-15 for pixel programs, 257+ for vertex
    TextureDim dim = TextureDim::Tex2D;
};

class Program {
public:
    ProgramKind kind = ProgramKind::Vertex;
    std::string profile;  // "vs_2_0"
    std::string entry;    // function name
    std::uint32_t registerCount = 0;
    std::uint32_t constantRegisters = 0;  // registers [0, constantRegisters) are constants
    std::uint32_t arrayWords = 0;
    std::vector<Instruction> code;
    std::vector<SampleOp> samples;
    std::vector<Literal> literals;
    std::vector<ConstantLoad> constants;
    std::vector<ArrayLoad> arrays;
    std::vector<ProgramInput> inputs;
    std::vector<ProgramOutput> outputs;
    std::vector<ProgramSampler> samplers;
    bool usesKill = false;

    Program() = default;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Index into inputs/outputs of a semantic, or -1.
    int FindInput(Usage usage, unsigned index) const;
    int FindOutput(Usage usage, unsigned index) const;
    // Checks that every register, buffer and value-store reference stays in range (for a
    // program read from a file). valueWords is the size of the effect's value store.
    bool Validate(std::uint32_t valueWords, std::uint32_t parameterCount) const;
};

}  // namespace Hlsl
