#include "Entity/Material/ShaderParamTable.h"

namespace Zel {

void ShaderParamTable::SetFloat(const std::string& name, float value) {
    floats_[name] = value;
}

void ShaderParamTable::SetVector2(const std::string& name, float x, float y) {
    vectors_[name] = VectorEntry{2, {x, y, 0.0f, 0.0f}};
}

void ShaderParamTable::SetVector4(const std::string& name, float x, float y, float z, float w) {
    vectors_[name] = VectorEntry{4, {x, y, z, w}};
}

void ShaderParamTable::Clear() {
    floats_.clear();
    vectors_.clear();
}

}  // namespace Zel
