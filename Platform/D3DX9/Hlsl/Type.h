// The types of the effect language: numeric scalars, vectors and matrices, structs, strings,
// textures and samplers, each optionally a one-dimensional array. Every value is laid out as a
// run of 32-bit components (matrix element [r][c] at r * columns + c; struct members in order;
// array elements one after another; an object or string takes one component).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Hlsl {

enum class TypeClass : std::uint8_t {
    Void,
    Scalar,
    Vector,
    Matrix,
    Struct,
    String,
    Texture,
    Sampler
};
enum class BaseType : std::uint8_t { Bool, Int, UInt, Float };
enum class ObjectDim : std::uint8_t { Generic, D1, D2, D3, Cube };

struct StructDef;

struct Type {
    TypeClass cls = TypeClass::Void;
    BaseType base = BaseType::Float;
    std::uint8_t rows = 1;     // matrices
    std::uint8_t columns = 1;  // vectors and matrices
    ObjectDim dim = ObjectDim::Generic;
    const StructDef* structDef = nullptr;
    std::uint32_t arraySize = 0;  // 0: not an array

    static Type Void() { return Type{}; }
    static Type Scalar(BaseType b);
    static Type Vector(BaseType b, unsigned n);
    static Type Matrix(BaseType b, unsigned rows, unsigned columns);
    // A scalar, vector or matrix of the same shape with another base type.
    Type WithBase(BaseType b) const;
    Type Element() const;  // the type of one array element

    bool IsNumeric() const {
        return arraySize == 0 &&
               (cls == TypeClass::Scalar || cls == TypeClass::Vector || cls == TypeClass::Matrix);
    }
    bool IsObject() const {
        return cls == TypeClass::Texture || cls == TypeClass::Sampler || cls == TypeClass::String;
    }
    // Components of a numeric value (1 for a scalar).
    unsigned NumericCount() const { return static_cast<unsigned>(rows) * columns; }
    // Components of the whole value, arrays and structs included.
    std::uint32_t Components() const;
    std::string Name() const;
};

bool operator==(const Type& a, const Type& b);
inline bool operator!=(const Type& a, const Type& b) {
    return !(a == b);
}

struct StructMember {
    std::string name;
    Type type;
    std::string semantic;
    std::uint32_t offset = 0;  // first component within the struct
};

struct StructDef {
    std::string name;
    std::vector<StructMember> members;
    std::uint32_t components = 0;

    const StructMember* Find(const std::string& member) const;
};

// The base type of every component of a value of type t, in layout order; objects and strings
// count as UInt.
void ComponentBases(const Type& t, std::vector<BaseType>& out);

}  // namespace Hlsl
