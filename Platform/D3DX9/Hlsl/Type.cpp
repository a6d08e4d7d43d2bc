#include "Platform/D3DX9/Hlsl/Type.h"

namespace Hlsl {

Type Type::Scalar(BaseType b) {
    Type t;
    t.cls = TypeClass::Scalar;
    t.base = b;
    return t;
}

Type Type::Vector(BaseType b, unsigned n) {
    Type t;
    t.cls = TypeClass::Vector;
    t.base = b;
    t.columns = static_cast<std::uint8_t>(n);
    return t;
}

Type Type::Matrix(BaseType b, unsigned rows, unsigned columns) {
    Type t;
    t.cls = TypeClass::Matrix;
    t.base = b;
    t.rows = static_cast<std::uint8_t>(rows);
    t.columns = static_cast<std::uint8_t>(columns);
    return t;
}

Type Type::WithBase(BaseType b) const {
    Type t = *this;
    t.base = b;
    return t;
}

Type Type::Element() const {
    Type t = *this;
    t.arraySize = 0;
    return t;
}

std::uint32_t Type::Components() const {
    std::uint32_t one;
    switch (cls) {
        case TypeClass::Void:
            one = 0;
            break;
        case TypeClass::Struct:
            one = structDef != nullptr ? structDef->components : 0;
            break;
        case TypeClass::Scalar:
        case TypeClass::Vector:
        case TypeClass::Matrix:
            one = NumericCount();
            break;
        default:
            one = 1;
            break;
    }
    return arraySize == 0 ? one : one * arraySize;
}

std::string Type::Name() const {
    std::string n;
    auto baseName = [](BaseType b) {
        switch (b) {
            case BaseType::Bool:
                return "bool";
            case BaseType::Int:
                return "int";
            case BaseType::UInt:
                return "uint";
            default:
                return "float";
        }
    };
    auto dimName = [](ObjectDim d) {
        switch (d) {
            case ObjectDim::D1:
                return "1D";
            case ObjectDim::D2:
                return "2D";
            case ObjectDim::D3:
                return "3D";
            case ObjectDim::Cube:
                return "CUBE";
            default:
                return "";
        }
    };
    switch (cls) {
        case TypeClass::Void:
            n = "void";
            break;
        case TypeClass::Scalar:
            n = baseName(base);
            break;
        case TypeClass::Vector:
            n = std::string(baseName(base)) + std::to_string(columns);
            break;
        case TypeClass::Matrix:
            n = std::string(baseName(base)) + std::to_string(rows) + "x" + std::to_string(columns);
            break;
        case TypeClass::Struct:
            n = "struct " + (structDef != nullptr ? structDef->name : std::string());
            break;
        case TypeClass::String:
            n = "string";
            break;
        case TypeClass::Texture:
            n = std::string("texture") + dimName(dim);
            break;
        case TypeClass::Sampler:
            n = std::string("sampler") + dimName(dim);
            break;
    }
    if (arraySize != 0) {
        n += '[';
        n += std::to_string(arraySize);
        n += ']';
    }
    return n;
}

bool operator==(const Type& a, const Type& b) {
    if (a.cls != b.cls || a.arraySize != b.arraySize)
        return false;
    switch (a.cls) {
        case TypeClass::Scalar:
        case TypeClass::Vector:
        case TypeClass::Matrix:
            return a.base == b.base && a.rows == b.rows && a.columns == b.columns;
        case TypeClass::Struct:
            return a.structDef == b.structDef;
        case TypeClass::Texture:
        case TypeClass::Sampler:
            return a.dim == b.dim;
        default:
            return true;
    }
}

const StructMember* StructDef::Find(const std::string& member) const {
    for (const StructMember& m : members)
        if (m.name == member)
            return &m;
    return nullptr;
}

void ComponentBases(const Type& t, std::vector<BaseType>& out) {
    std::uint32_t count = t.arraySize == 0 ? 1 : t.arraySize;
    for (std::uint32_t e = 0; e < count; ++e) {
        if (t.cls == TypeClass::Struct) {
            if (t.structDef != nullptr)
                for (const StructMember& m : t.structDef->members) ComponentBases(m.type, out);
        } else if (t.IsObject()) {
            out.push_back(BaseType::UInt);
        } else if (t.cls != TypeClass::Void) {
            for (unsigned i = 0; i < t.NumericCount(); ++i) out.push_back(t.base);
        }
    }
}

}  // namespace Hlsl
