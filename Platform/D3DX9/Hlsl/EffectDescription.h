// What a compiled effect is, independent of any device: its parameters (with their types,
// semantics, annotations, struct members, array sizes and default values), its techniques and
// passes with their state assignments in order, and the vertex and pixel programs the passes
// use. The D3DX effect wraps one of these; the compiled-effect file stores one.
//
// Parameter values live in one store of 32-bit words (EffectDescription::values): a parameter
// takes Parameter::words words from Parameter::offset on, laid out as Type.h says (matrix
// element [r][c] at r * columns + c, whatever the packing). Floats are stored as their bits,
// ints as int32, bools as 0/1; a texture, sampler or string takes one word (0 by default).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Platform/D3DX9/Hlsl/EffectStates.h"

namespace Hlsl {

class Program;

// D3DXPARAMETER_CLASS values.
enum class ParameterClass : std::uint8_t {
    Scalar = 0,
    Vector = 1,
    MatrixRows = 2,
    MatrixColumns = 3,
    Object = 4,
    Struct = 5
};

// D3DXPARAMETER_TYPE values.
enum class ParameterType : std::uint8_t {
    Void = 0,
    Bool = 1,
    Int = 2,
    Float = 3,
    String = 4,
    Texture = 5,
    Texture1D = 6,
    Texture2D = 7,
    Texture3D = 8,
    TextureCube = 9,
    Sampler = 10,
    Sampler1D = 11,
    Sampler2D = 12,
    Sampler3D = 13,
    SamplerCube = 14,
    PixelShader = 15,
    VertexShader = 16
};

struct Annotation {
    std::string name;
    ParameterClass cls = ParameterClass::Scalar;
    ParameterType type = ParameterType::Float;
    std::uint32_t rows = 1, columns = 1;
    std::vector<std::uint32_t> words;  // numeric values
    std::string text;                  // string value
};

struct StateAssignment;

struct Parameter {
    std::string name;
    std::string semantic;  // as written (case kept); empty when none
    ParameterClass cls = ParameterClass::Scalar;
    ParameterType type = ParameterType::Float;
    std::uint32_t rows = 1, columns = 1;
    std::uint32_t elements = 0;      // array size; 0 when not an array
    std::uint32_t offset = 0;        // first word in the value store
    std::uint32_t words = 0;         // all elements
    std::vector<Parameter> members;  // struct members; offsets are absolute, for element 0
    std::vector<Annotation> annotations;
    std::vector<StateAssignment> samplerStates;  // a sampler's sampler_state block
    std::string text;                            // a string parameter's value

    std::uint32_t ElementWords() const { return elements == 0 ? words : words / elements; }
};

struct StateValue {
    enum class Kind : std::uint8_t {
        Constant = 0,   // words hold the value, already in the state's form
        Parameter = 1,  // the value store's words [offset, offset + wordCount) of a parameter
        Program = 2,    // programs[program]; a null shader is Constant 0
    };
    Kind kind = Kind::Constant;
    std::vector<std::uint32_t> words;
    std::uint32_t parameter = 0;  // index of the top-level parameter
    std::uint32_t offset = 0;     // first word of the referenced value
    std::uint32_t wordCount = 0;
    ParameterType parameterType = ParameterType::Void;  // base type of the referenced value
    std::string reference;                              // the name as written, "g_State.MinFilter"
    std::uint32_t program = 0;
};

struct StateAssignment {
    StateKind kind = StateKind::RenderState;
    std::uint32_t code = 0;
    std::uint32_t index = 0;
    StateValueType valueType = StateValueType::Dword;
    StateValue value;
};

struct Pass {
    std::string name;
    std::vector<Annotation> annotations;
    std::vector<StateAssignment> states;  // in the order written
};

struct Technique {
    std::string name;
    std::vector<Annotation> annotations;
    std::vector<Pass> passes;
};

struct EffectDescription {
    std::vector<Parameter> parameters;  // top level, in declaration order
    std::vector<std::uint32_t> values;  // the default value store
    std::vector<Technique> techniques;
    std::vector<std::shared_ptr<const Program>> programs;

    // The top-level parameter with that name (case-sensitive), or null.
    const Parameter* FindParameter(const std::string& name) const;
    const Technique* FindTechnique(const std::string& name) const;
};

// The value a state takes from the value store (for a parameter reference) or from the
// assignment (for a constant), in the state's form: one word for Dword, Bool, Float (bits),
// Color (A8R8G8B8) and Texture (the store word), sixteen float words for Matrix. Answers false
// when the reference lies outside the store or the state is a program.
bool ResolveStateValue(const StateAssignment& state, const std::vector<std::uint32_t>& values,
                       std::vector<std::uint32_t>& out);

// Converts parameter words of one base type to the form of a state's value type.
void ConvertStateWords(StateValueType target, ParameterType source, const std::uint32_t* words,
                       std::uint32_t count, std::vector<std::uint32_t>& out);

}  // namespace Hlsl
